#include "phonecopy.h"

#include "commandlinewriter.h"
#include "copyview.h"
#include "savedownload.h"
#include "app/Module1.h"
#include "app/prompts.h"

namespace {

const QString CopyInterrupted = QStringLiteral("Копирование прервано, файл не сохранён.");

} // namespace

PhoneCopy::PhoneCopy(Module1 &link, CommandLineWriter &writer, CopyView &view, Prompts &prompts)
    : m_link(link)
    , m_writer(writer)
    , m_view(view)
    , m_prompts(prompts)
    , m_reader(link, writer, view)
{
}

MaybeFailure PhoneCopy::start(const QByteArray &rawName, const QString &readableName)
{
    if (MaybeFailure failure = m_reader.start(rawName, readableName))
        return failure;
    m_view.setDownloadRunning(true);
    return std::nullopt;
}

void PhoneCopy::startRun(const QString &folder, const QList<CopyAll::Entry> &entries)
{
    m_run.emplace(folder, entries);
    continueRun();
}

bool PhoneCopy::isRunning() const
{
    return m_link.download.state != Download::State::Idle || m_run;
}

bool PhoneCopy::isReading() const
{
    return m_link.download.state == Download::State::Reading;
}

void PhoneCopy::take(const QByteArray &exchange)
{
    // A read typed in the debug window, or one whose copy was given up, names no
    // file to save or to go on with.
    if (!isReading())
        return;
    switch (m_reader.take(exchange)) {
    case FileReader::Step::Asked:
        break;
    case FileReader::Step::Read:
        save(m_reader.damagedEntry());
        break;
    case FileReader::Step::Failed:
        fail();
        break;
    }
}

bool PhoneCopy::skipRefusedInRun()
{
    if (!m_run || !isReading())
        return false;
    skipInRun(QStringLiteral("Ошибочная комманда"));
    return true;
}

void PhoneCopy::end(bool saved)
{
    const bool copying = m_link.download.state != Download::State::Idle;
    m_link.download.end();
    m_view.setDownloadRunning(false);
    if (copying)
        m_view.copyEnded(saved);
}

QString PhoneCopy::cancel()
{
    const QString summary = m_run ? endRun(true) : QString();
    end();
    return summary;
}

void PhoneCopy::interrupt(const QString &why)
{
    QString text = why;
    if (m_link.download.state != Download::State::Idle || m_run)
        text += QLatin1Char('\n') + CopyInterrupted;
    // A run ends here; the files saved so far stay, and the user learns how many.
    if (m_run)
        text += QLatin1Char('\n') + endRun(false);
    end();
    m_prompts.message(text, Prompts::Icon::None);
}

void PhoneCopy::save(const QString &damagedEntry)
{
    Download &download = m_link.download;
    if (m_run) {
        m_run->saveCurrent(download.fileData, damagedEntry);
        download.end();
        continueRun();
        return;
    }
    download.startSaving();
    const QString warning = QStringLiteral("Файл «%1» повреждён на телефоне: %2 не совпадает с контрольной суммой. "
                                           "Сохранить как есть?")
                                .arg(download.readableName, damagedEntry);
    const bool saved = (damagedEntry.isEmpty() || m_prompts.question(warning, Prompts::Icon::Warning))
                       && SaveDownload(m_prompts, download.fileData, download.readableName, m_link.savePath);
    end(saved);
}

void PhoneCopy::fail()
{
    if (m_run) {
        skipInRun(m_reader.why());
        return;
    }
    m_prompts.message(m_reader.dataFailed() ? m_reader.why() + QStringLiteral(": файл не сохранён") : m_reader.why(),
                      Prompts::Icon::None);
    end();
}

void PhoneCopy::skipInRun(const QString &reason)
{
    m_link.download.end();
    m_run->skipCurrent(reason);
    continueRun();
}

void PhoneCopy::continueRun()
{
    while (!m_run->isDone()) {
        const CopyAll::Entry &entry = m_run->current();
        m_view.showDownloadFile(m_run->currentTitle());
        const MaybeFailure failure = m_reader.start(entry.rawName, entry.readableName);
        if (!failure) {
            m_view.setDownloadRunning(true);
            return;
        }
        if (m_writer.lostUnder(*failure))
            return;
        m_run->skipCurrent(failure->message());
    }
    finishRun();
}

void PhoneCopy::finishRun()
{
    const QString summary = endRun(false);
    end();
    m_prompts.message(summary, Prompts::Icon::Information);
}

QString PhoneCopy::endRun(bool cancelled)
{
    const QString summary = m_run->summary(cancelled);
    const bool saved = m_run->savedAll();
    m_run.reset();
    // The run's file ends with it, so the copy is over once, for the whole run.
    m_link.download.end();
    m_view.showDownloadFile(QString());
    m_view.copyEnded(saved);
    return summary;
}
