#include "pseudoterminal.h"

#include <QDeadlineTimer>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

PseudoTerminal::PseudoTerminal()
{
    int slave = -1;
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&m_master, &slave, name, &raw, nullptr) != 0)
        return;
    ::close(slave);
    // Non-blocking, so a test waiting for bytes that never come cannot hang.
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(name);
}

termios PseudoTerminal::lineSettings() const
{
    // The master side reports the settings of its slave; once hung up this fails
    // and leaves them zero.
    termios attributes{};
    tcgetattr(m_master, &attributes);
    return attributes;
}

QByteArray PseudoTerminal::read(qsizetype minimum, int timeoutMs)
{
    QByteArray received;
    const QDeadlineTimer deadline(timeoutMs);
    while (received.size() < minimum && !deadline.hasExpired()) {
        QTest::qWait(5);
        received += readAvailable();
    }
    return received;
}

QByteArray PseudoTerminal::readWithoutEvents(int timeoutMs)
{
    pollfd waiting{m_master, POLLIN, 0};
    return m_master >= 0 && ::poll(&waiting, 1, timeoutMs) > 0 ? readAvailable() : QByteArray();
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray received;
    char buffer[65536];
    ssize_t count;
    while (m_master >= 0 && (count = ::read(m_master, buffer, sizeof buffer)) > 0)
        received.append(buffer, count);
    return received;
}

void PseudoTerminal::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t count = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (count > 0)
            done += count;
        else if (errno == EAGAIN)
            QTest::qWait(1);
        else
            return;
    }
}

void PseudoTerminal::hangUp()
{
    if (m_master >= 0)
        ::close(std::exchange(m_master, -1));
}
