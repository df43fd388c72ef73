#include "phonecopy.h"

#include "commandlinewriter.h"
#include "copyview.h"
#include "savedownload.h"
#include "app/Module1.h"
#include "app/prompts.h"

#include <algorithm>

namespace {

const QString CopyInterrupted = QStringLiteral("Копирование прервано, файл не сохранён.");
const QString WaitingForPhone = QStringLiteral("связь потеряна, ждём телефон…");

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
    if (!isReading() || m_waiting)
        return;
    if (m_probe)
        return takeProbe(exchange);
    handle(m_reader.take(exchange));
}

void PhoneCopy::handle(FileReader::Step step)
{
    switch (step) {
    case FileReader::Step::Asked:
        break;
    case FileReader::Step::Restarted: {
        const QString line = QStringLiteral("%1: файл на телефоне изменился, копирование начато заново")
                                 .arg(m_link.download.readableName);
        if (m_run)
            m_run->noteCurrent(line);
        else
            m_view.noteCopy(line);
        break;
    }
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
    m_probe.reset();
    m_probeQueue.clear();
    m_savedCopies.clear();
    if (std::exchange(m_waiting, false))
        m_view.waitForPhone(false);
    const bool copying = m_link.download.state != Download::State::Idle;
    m_link.download.end();
    m_view.setDownloadRunning(false);
    if (copying)
        m_view.copyEnded(saved);
}

QString PhoneCopy::cancel()
{
    // While the copy waits for the phone nothing else shows it ended.
    const QString summary = m_run ? endRun(true) : m_waiting ? CopyInterrupted : QString();
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

bool PhoneCopy::suspend()
{
    if (!isRunning())
        return false;
    m_waiting = true;
    m_link.download.chunkReply.clear();
    m_reader.replyOver();
    m_view.waitForPhone(true);
    m_view.showCopyStage(WaitingForPhone);
    return true;
}

void PhoneCopy::resume()
{
    if (!std::exchange(m_waiting, false))
        return;
    m_view.waitForPhone(false);
    // The count as it was, in place of the wait.
    m_view.showCopyStage(QString());
    m_reader.showProgress(m_link.download.fileData.size());
    if (m_probe) {
        m_link.download.lineRetries = 0;
        qint64 piece = m_probe->piece();
        unlessLost(m_reader.requestPiece(piece));
    } else if (m_link.download.state == Download::State::Reading) {
        handle(m_reader.resume());
    } else if (m_run) {
        continueRun();
    }
}

MaybeFailure PhoneCopy::startCurrent()
{
    const CopyAll::Entry &entry = m_run->current();
    m_savedCopies = m_run->savedCopies();
    m_probeQueue.clear();
    for (const SavedCopy &copy : std::as_const(m_savedCopies)) {
        if (copy.soundArchive)
            m_probeQueue.append(copy.bytes);
    }
    if (m_probeQueue.isEmpty())
        return m_reader.start(entry.rawName, entry.readableName);
    m_link.download.start(entry.rawName, entry.readableName);
    return startProbe();
}

MaybeFailure PhoneCopy::startProbe()
{
    m_probe.emplace(m_probeQueue.takeFirst());
    m_link.download.lineRetries = 0;
    qint64 piece = m_probe->piece();
    MaybeFailure failure = m_reader.requestPiece(piece);
    if (failure && !m_writer.lostUnder(*failure)) {
        m_probe.reset();
        m_link.download.end();
    }
    return failure;
}

void PhoneCopy::takeProbe(const QByteArray &exchange)
{
    Download &download = m_link.download;
    const ChunkReply reply = ParseChunkReply(exchange);
    qint64 piece = m_probe->piece();
    const bool garbled = !reply.data || reply.garbled();
    if (garbled && download.lineRetries < MaxLineRetries) {
        ++download.lineRetries;
        return unlessLost(m_reader.requestPiece(piece));
    }
    // A reply garbled too often tells nothing: the file is read in full instead.
    const TailProbe::Verdict verdict = garbled ? TailProbe::Verdict::Differs : m_probe->take(reply);
    download.lineRetries = 0;
    switch (verdict) {
    case TailProbe::Verdict::Same:
        m_probe.reset();
        download.end();
        m_run->keepPresent();
        return continueRun();
    case TailProbe::Verdict::AskNext:
        piece = m_probe->piece();
        return unlessLost(m_reader.requestPiece(piece));
    case TailProbe::Verdict::Differs:
        break;
    }
    m_probe.reset();
    if (!m_probeQueue.isEmpty())
        return unlessLost(startProbe());
    const CopyAll::Entry entry = m_run->current();
    unlessLost(m_reader.start(entry.rawName, entry.readableName));
}

void PhoneCopy::unlessLost(const MaybeFailure &failure)
{
    if (failure && !m_writer.lostUnder(*failure))
        skipInRun(failure->message());
}

bool PhoneCopy::alreadySaved() const
{
    const QByteArray &bytes = m_link.download.fileData;
    return std::any_of(m_savedCopies.begin(), m_savedCopies.end(),
                       [&bytes](const SavedCopy &copy) { return copy.bytes == bytes; });
}

void PhoneCopy::save(const QString &damagedEntry)
{
    Download &download = m_link.download;
    if (m_run) {
        if (alreadySaved())
            m_run->keepPresent();
        else
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
    m_probe.reset();
    m_link.download.end();
    m_run->skipCurrent(reason);
    continueRun();
}

void PhoneCopy::continueRun()
{
    while (!m_run->isDone()) {
        m_view.showDownloadFile(m_run->currentTitle());
        const MaybeFailure failure = startCurrent();
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
    m_probe.reset();
    m_probeQueue.clear();
    m_savedCopies.clear();
    // The run's file ends with it, so the copy is over once, for the whole run.
    m_link.download.end();
    m_view.showDownloadFile(QString());
    m_view.copyEnded(saved);
    return summary;
}
