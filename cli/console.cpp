#include "console.h"

#include "printednames.h"
#include "terminal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void writeError(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace

Console::Console(bool showProgress)
    : m_showProgress(showProgress)
{
}

bool Console::data(const QByteArray &line)
{
    const QByteArray bytes = line + '\n';
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size())
        && std::fflush(stdout) == 0)
        return true;
    const QString why = QString::fromLocal8Bit(std::strerror(errno));
    say(QStringLiteral("Не удалось записать в стандартный вывод: %1").arg(why));
    return false;
}

void Console::say(const QString &text)
{
    clearProgress();
    // The core's messages quote the phone's names as they came.
    writeError(MessageForTerminal(text) + QLatin1Char('\n'));
}

void Console::showProgress(const QString &line)
{
    if (!m_showProgress)
        return;
    QString shown = MessageForTerminal(line);
    // A line that wrapped could not be drawn over; the end, with the count, matters most.
    const int columns = Terminal::stderrColumns();
    if (columns > 1 && shown.size() >= columns)
        shown = QStringLiteral("…") + shown.right(columns - 2);
    const qsizetype width = shown.size();
    if (width < m_drawn)
        shown += QString(m_drawn - width, QLatin1Char(' '));
    writeError(QLatin1Char('\r') + shown);
    m_drawn = width;
}

void Console::clearProgress()
{
    if (m_drawn == 0)
        return;
    writeError(QLatin1Char('\r') + QString(m_drawn, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_drawn = 0;
}
