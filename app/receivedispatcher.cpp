#include "receivedispatcher.h"

#include "Module1.h"
#include "linkview.h"
#include "prompts.h"
#include "serialcontrol.h"
#include "charset/ansicodepage.h"
#include "phonefs/archivecheck.h"
#include "phonefs/download.h"
#include "phonefs/listing.h"
#include "phonefs/savedownload.h"
#include "phonefs/textsearch.h"

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";
constexpr QByteArrayView Echo = "AT";
constexpr QByteArrayView FileReadEcho = "AT*ERIF";
constexpr QByteArrayView ListingEcho = "AT*ELIF";
constexpr QByteArrayView LineStartEcho = "\nAT";
constexpr QByteArrayView ResultFraming = "\r\n";
constexpr qsizetype ExpectedReplySize = 2 * PieceLength + 512;
// No reply of the phone's comes near this: a full piece is 131070 hex digits and
// a few lines. Beyond it a reply is taken to be endless and is dropped.
constexpr qsizetype LongestReply = 1 << 20;
const QString CopyInterrupted = QStringLiteral("Копирование прервано, файл не сохранён.");

// A final result code stands on a line of its own: "OK", "ERROR", or "+CME ERROR: n"
// and "+CMS ERROR: n". The same letters inside an echo or a line of data end nothing.
// A piece may end right after the code, before its line end.
bool standsAlone(QByteArrayView text, qsizetype at, QByteArrayView keyword)
{
    const qsizetype end = at + keyword.size();
    const bool isError = keyword == Error;
    const bool lineEnds = end == text.size() || text[end] == '\r' || text[end] == '\n' || (isError && text[end] == ':');
    qsizetype start = at;
    for (const QByteArrayView prefix : {QByteArrayView("+CME "), QByteArrayView("+CMS ")}) {
        if (isError && text.first(at).endsWith(prefix))
            start -= prefix.size();
    }
    return lineEnds && (start == 0 || text[start - 1] == '\r' || text[start - 1] == '\n');
}

// The last result code the new piece takes part in, or -1. Searches only there, so
// a keyword split across two pieces is found once, when its last letter arrives.
qsizetype lastKeywordEndingInPiece(QByteArrayView gathered, qsizetype pieceStart,
                                   QByteArrayView keyword)
{
    const qsizetype from = qMax<qsizetype>(0, pieceStart - (keyword.size() - 1));
    QByteArrayView window = gathered.sliced(from);
    for (qsizetype at = FindLastProtocolText(window, keyword); at >= 0; at = FindLastProtocolText(window, keyword)) {
        if (standsAlone(gathered, from + at, keyword))
            return from + at;
        window = window.first(at + keyword.size() - 1);
    }
    return -1;
}

qsizetype endOf(qsizetype at, QByteArrayView keyword)
{
    return at < 0 ? -1 : at + keyword.size();
}

} // namespace

ReceiveDispatcher::ReceiveDispatcher(Module1 &link, SerialControl &port, LinkView &view,
                                     Prompts &prompts)
    : m_link(link)
    , m_port(port)
    , m_view(view)
    , m_prompts(prompts)
{
}

void ReceiveDispatcher::MSC_OnComm()
{
    switch (m_port.commEvent()) {
    case SerialControl::ReceiveEvent:
        takeReceived(m_port.input());
        break;
    case SerialControl::DeviceLostEvent:
        handleDeviceLost();
        break;
    default:
        break;
    }
    if (m_port.isPortOpen())
        m_view.setLamp(true);
}

void ReceiveDispatcher::takeReceived(const QByteArray &piece)
{
    handlePiece(piece);
    m_view.showPieceLength(piece.size());
    m_view.appendTraffic(piece);
}

void ReceiveDispatcher::cancelDownload()
{
    const Download &download = m_link.download;
    if (download.state != Download::State::Reading)
        return;
    // What came of the unanswered request's reply so far goes to the drain too: its
    // echo may stand behind a line the phone sent unasked, or the reply's result
    // code may have begun. A request already answered, though its reply was not
    // taken for the file's, is owed nothing.
    const QByteArray held = m_link.echoBuffer;
    forgetReply();
    std::optional<QByteArray> rest;
    if (!m_unansweredRequest.isEmpty()) {
        m_drain.add(std::exchange(m_unansweredRequest, {}));
        rest = m_drain.take(held);
    }
    const QString summary = m_run ? endRun(true) : QString();
    endDownload();
    if (rest)
        resumeAfterDrain(*rest);
    if (!summary.isEmpty())
        m_prompts.message(summary, Prompts::Icon::Information);
}

bool ReceiveDispatcher::isCopying() const
{
    return m_link.download.state != Download::State::Idle || m_run;
}

void ReceiveDispatcher::resetLink()
{
    // What an earlier connection left half received would stand in front of the
    // first reply on this one.
    forgetReply();
    m_unansweredRequest.clear();
    m_drain.reset();
    m_owedFraming.clear();
    m_owesRestOfLine = false;
}

MaybeFailure ReceiveDispatcher::startDownload(const QByteArray &rawName, const QString &readableName)
{
    m_link.download.start(rawName, readableName);
    if (MaybeFailure failure = requestPiece(m_link.download.chunkIndex)) {
        m_link.download.end();
        return failure;
    }
    m_view.setDownloadRunning(true);
    return std::nullopt;
}

void ReceiveDispatcher::startCopyAll(const QString &folder, const QList<CopyAll::Entry> &entries)
{
    m_run.emplace(folder, entries);
    continueRun();
}

void ReceiveDispatcher::handlePiece(const QByteArray &piece)
{
    const QByteArray fresh = withoutOwedFraming(piece);
    if (!m_drain.isActive()) {
        gather(fresh);
    } else if (const std::optional<QByteArray> rest = m_drain.take(fresh)) {
        resumeAfterDrain(*rest);
    }
}

void ReceiveDispatcher::resumeAfterDrain(const QByteArray &rest)
{
    // After the result code that ended the drain its line end may follow, to be
    // dropped; text from a later echo starts with none of it.
    oweFramingAfter({});
    const QByteArray fresh = withoutOwedFraming(rest);
    if (!fresh.isEmpty())
        gather(fresh);
}

void ReceiveDispatcher::gather(const QByteArray &fresh)
{
    if (m_link.echoBuffer.isEmpty()) {
        // A reply to a read request holds 131070 hex digits; room for it from the
        // start spares copying it again at every doubling as it grows.
        m_link.replyBuffer.reserve(ExpectedReplySize);
        m_link.echoBuffer.reserve(ExpectedReplySize);
    }
    qsizetype pieceStart = m_link.echoBuffer.size();
    m_link.replyBuffer += fresh;
    m_link.echoBuffer += fresh;
    if (!m_link.echoBuffer.startsWith(Echo))
        pieceStart -= setAsideUnaskedLines(pieceStart);

    const QByteArrayView gathered(m_link.echoBuffer);
    const qsizetype error = lastKeywordEndingInPiece(gathered, pieceStart, Error);
    const qsizetype ok = lastKeywordEndingInPiece(gathered, pieceStart, Ok);
    const qsizetype resultEnd = qMax(endOf(error, Error), endOf(ok, Ok));
    // Told once the reply is handled: what it brought is listed or saved by then.
    const QByteArray completed = resultEnd >= 0 ? m_link.echoBuffer.first(resultEnd) : QByteArray();
    const bool rejected = error > ok;
    if (resultEnd >= 0) {
        m_unansweredRequest.clear();
        oweFramingAfter(gathered.sliced(resultEnd));
    } else if (gathered.size() > LongestReply) {
        dropEndlessReply();
        return;
    } else if (m_link.download.state == Download::State::Reading && !m_link.download.repair
               && m_link.download.lineRetries == 0 && gathered.startsWith(FileReadEcho)) {
        // Only a reply that will count as the file's: any other's digits are never added,
        // and a piece read again adds none (its garbled first read was shown already).
        m_view.showDownloadProgress(m_link.download.fileData.size() + m_pieceProgress.bytesIn(gathered));
    }

    if (error >= 0 && m_run && m_link.download.state == Download::State::Reading) {
        forgetReply();
        skipInRun(QStringLiteral("Ошибочная комманда"));
        m_view.replyCompleted(completed, rejected);
        return;
    }
    if (error >= 0) {
        m_prompts.message(QStringLiteral("Ошибочная комманда"), Prompts::Icon::None);
        if (ok < 0) {
            // The rejected exchange is over, and with it any copy. Left in the
            // buffers it would stand in front of the next reply as part of it.
            forgetReply();
            endDownload();
        } else {
            m_view.setDownloadRunning(false);
        }
    }
    if (ok >= 0) {
        const Listing listing = ParseListing(m_link.replyBuffer);
        // A listing stands for the whole folder: one asked for twice, or again
        // before the last came, shows its entries once.
        if (m_link.echoBuffer.startsWith(ListingEcho))
            m_view.clearEntries();
        for (const ListedName &name : listing.names)
            m_view.addEntry(name.rawName, name.readableName);
        if (listing.statusLine)
            m_view.setListingStatus(*listing.statusLine);
        m_link.replyBuffer.clear();
        if (m_link.echoBuffer.startsWith(FileReadEcho))
            handleFileReadReply();
        m_link.echoBuffer.clear();
        m_pieceProgress.reset();
    }
    if (resultEnd >= 0)
        m_view.replyCompleted(completed, rejected);
}

qsizetype ReceiveDispatcher::setAsideUnaskedLines(qsizetype pieceStart)
{
    // Lines such as RING or "+CIEV: ..." that the phone sends unasked between two
    // replies stand in front of the next echo; they are in the traffic log, and
    // would hide the echo that tells what the reply answers. Nothing else starts a
    // line with "AT": not hex data, not a listing's entries.
    QByteArray &gathered = m_link.echoBuffer;
    const qsizetype lineStart = gathered.indexOf(LineStartEcho, qMax<qsizetype>(0, pieceStart - 2));
    if (lineStart < 0 || !(gathered.startsWith('\r') || gathered.startsWith('\n')))
        return 0;
    const QByteArrayView unasked = QByteArrayView(gathered).first(lineStart + 1);
    if (unasked.contains(Ok) || unasked.contains(Error))
        return 0;
    const qsizetype length = unasked.size();
    gathered.remove(0, length);
    m_link.replyBuffer.remove(0, length);
    return length;
}

QByteArray ReceiveDispatcher::withoutOwedFraming(const QByteArray &piece)
{
    if (m_owesRestOfLine) {
        const qsizetype lineEnd = piece.indexOf('\n');
        m_owesRestOfLine = lineEnd < 0;
        return lineEnd < 0 ? QByteArray() : piece.mid(lineEnd + 1);
    }
    qsizetype matched = 0;
    while (matched < m_owedFraming.size() && matched < piece.size()
           && piece[matched] == m_owedFraming[matched]) {
        ++matched;
    }
    // A piece made only of framing may still leave some of it owed.
    m_owedFraming = matched == piece.size() ? m_owedFraming.mid(matched) : QByteArray();
    return piece.mid(matched);
}

void ReceiveDispatcher::oweFramingAfter(QByteArrayView after)
{
    // "+CME ERROR: n": the number and the line end still belong to the result code.
    m_owesRestOfLine = after.startsWith(':') && !after.contains('\n');
    m_owedFraming = ResultFraming.startsWith(after) ? ResultFraming.sliced(after.size()).toByteArray()
                                                    : QByteArray();
}

void ReceiveDispatcher::handleFileReadReply()
{
    Download &download = m_link.download;
    // A read typed in the debug window, or one whose copy was given up, names no
    // file to save or to go on with.
    if (download.state != Download::State::Reading)
        return;
    download.chunkReply += m_link.echoBuffer;
    if (download.repair) {
        takeRereadPiece();
        return;
    }
    switch (ParseChunk(download)) {
    case ChunkOutcome::FileComplete:
        checkCopy();
        break;
    case ChunkOutcome::NeedMore:
        m_view.setDownloadRunning(true);
        m_view.showDownloadProgress(download.fileData.size());
        stopUnlessWritten(requestPiece(download.chunkIndex));
        break;
    case ChunkOutcome::Garbled:
        // The piece just asked for, once more.
        --download.chunkIndex;
        readAgainFromLine(download.chunkIndex);
        break;
    case ChunkOutcome::BadData:
        abandonCopy(QStringLiteral("Ошибка в данных"));
        break;
    }
}

void ReceiveDispatcher::readAgainFromLine(qint64 &piece)
{
    Download &download = m_link.download;
    if (download.lineRetries == MaxLineRetries) {
        abandonCopy(QStringLiteral("Ответ телефона искажён на линии"));
        return;
    }
    ++download.lineRetries;
    stopUnlessWritten(requestPiece(piece));
}

void ReceiveDispatcher::abandonCopy(const QString &why)
{
    if (m_run) {
        skipInRun(why);
        return;
    }
    m_prompts.message(why + QStringLiteral(": файл не сохранён"), Prompts::Icon::None);
    endDownload();
}

void ReceiveDispatcher::checkCopy()
{
    Download &download = m_link.download;
    m_view.showCopyStage(QStringLiteral("проверка…"));
    // What was found sound while the file arrived holds for the file as it came;
    // once pieces are read again, all is checked anew.
    const QList<SoundEntryData> known = download.precheck ? download.precheck->finish() : QList<SoundEntryData>();
    download.precheck.reset();
    const ArchiveCheck check = CheckArchive(download.fileData, known);
    const bool damaged = check.verdict == ArchiveCheck::Verdict::Damaged;
    if (damaged) {
        if (!download.repair)
            download.repair.emplace();
        if (download.repair->startRound(check, download.fileData.size())) {
            rereadPiece();
            return;
        }
    }
    m_view.reportCheck(download.readableName, check);
    saveCopy(damaged ? check.failedEntry : QString());
}

void ReceiveDispatcher::rereadPiece()
{
    const CopyRepair &repair = *m_link.download.repair;
    const int pieces = repair.pieces();
    // "из 1 части", "из 3 частей", "из 21 части"
    const bool oneLike = pieces % 10 == 1 && pieces % 100 != 11;
    m_view.showCopyStage(QStringLiteral("повторное чтение: %1 из %2 %3")
                             .arg(repair.position())
                             .arg(pieces)
                             .arg(oneLike ? QStringLiteral("части") : QStringLiteral("частей")));
    qint64 piece = repair.piece();
    stopUnlessWritten(requestPiece(piece));
}

void ReceiveDispatcher::takeRereadPiece()
{
    Download &download = m_link.download;
    const ChunkReply reply = ParseChunkReply(download.chunkReply);
    download.chunkReply.clear();
    // A piece read again must come as it came the first time, in length at least;
    // one that does not is never spliced in.
    if (!reply.data || reply.garbled() || !download.repair->take(download.fileData, *reply.data)) {
        qint64 piece = download.repair->piece();
        readAgainFromLine(piece);
        return;
    }
    download.lineRetries = 0;
    if (download.repair->roundDone())
        checkCopy();
    else
        rereadPiece();
}

void ReceiveDispatcher::saveCopy(const QString &damagedEntry)
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
    endDownload(saved);
}

void ReceiveDispatcher::stopUnlessWritten(const MaybeFailure &failure)
{
    if (!failure || m_port.lostUnder(*failure))
        return;
    if (m_run) {
        skipInRun(failure->message());
        return;
    }
    m_prompts.message(failure->message(), Prompts::Icon::None);
    endDownload();
}

MaybeFailure ReceiveDispatcher::requestPiece(qint64 &index)
{
    const QByteArray path = PhonePath(m_link, m_link.download.rawName);
    m_unansweredRequest = AnsiCodePage::fromText(ChunkCommand(path, index));
    MaybeFailure failure = RequestChunk(m_port, path, index);
    if (failure)
        m_unansweredRequest.clear();
    return failure;
}

void ReceiveDispatcher::endDownload(bool saved)
{
    const bool copying = m_link.download.state != Download::State::Idle;
    m_link.download.end();
    m_view.setDownloadRunning(false);
    if (copying)
        m_view.copyEnded(saved);
}

void ReceiveDispatcher::forgetReply()
{
    m_link.replyBuffer.clear();
    m_link.echoBuffer.clear();
    m_pieceProgress.reset();
}

void ReceiveDispatcher::handleDeviceLost()
{
    m_view.setLamp(false);
    forgetReply();
    interruptCopy(m_port.eventFailure().message());
}

void ReceiveDispatcher::dropEndlessReply()
{
    forgetReply();
    // Whatever more it brings is dropped through its result code, if it ever ends.
    m_drain.add({});
    interruptCopy(QStringLiteral("Ответ телефона не кончается: больше 1 МБ без OK. Ответ отброшен."));
}

void ReceiveDispatcher::interruptCopy(const QString &why)
{
    QString text = why;
    if (m_link.download.state != Download::State::Idle || m_run)
        text += QLatin1Char('\n') + CopyInterrupted;
    // A run ends here; the files saved so far stay, and the user learns how many.
    if (m_run)
        text += QLatin1Char('\n') + endRun(false);
    endDownload();
    m_prompts.message(text, Prompts::Icon::None);
}

void ReceiveDispatcher::skipInRun(const QString &reason)
{
    m_link.download.end();
    m_run->skipCurrent(reason);
    continueRun();
}

void ReceiveDispatcher::continueRun()
{
    Download &download = m_link.download;
    while (!m_run->isDone()) {
        const CopyAll::Entry &entry = m_run->current();
        download.start(entry.rawName, entry.readableName);
        m_view.showDownloadFile(m_run->currentTitle());
        const MaybeFailure failure = requestPiece(m_link.download.chunkIndex);
        if (!failure) {
            m_view.setDownloadRunning(true);
            return;
        }
        download.end();
        if (m_port.lostUnder(*failure))
            return;
        m_run->skipCurrent(failure->message());
    }
    finishRun();
}

void ReceiveDispatcher::finishRun()
{
    const QString summary = endRun(false);
    endDownload();
    m_prompts.message(summary, Prompts::Icon::Information);
}

QString ReceiveDispatcher::endRun(bool cancelled)
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
