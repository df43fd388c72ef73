#include "receivedispatcher.h"

#include "Module1.h"
#include "linkview.h"
#include "owedrequest.h"
#include "prompts.h"
#include "resultcodes.h"
#include "serialcontrol.h"
#include "phonefs/download.h"
#include "phonefs/listing.h"
#include "phonefs/phonecopy.h"

namespace {

constexpr QByteArrayView Echo = "AT";
constexpr QByteArrayView FileReadEcho = "AT*ERIF";
constexpr QByteArrayView ListingEcho = "AT*ELIF";
constexpr QByteArrayView ResultFraming = "\r\n";
constexpr qsizetype ExpectedReplySize = 2 * PieceLength + 512;
// No reply of the phone's comes near this: a full piece is 131070 hex digits and
// a few lines. Beyond it a reply is taken to be endless and is dropped.
constexpr qsizetype LongestReply = 1 << 20;

} // namespace

ReceiveDispatcher::ReceiveDispatcher(Module1 &link, SerialControl &port, OwedRequest &requests, PhoneCopy &copy,
                                     LinkView &view, Prompts &prompts)
    : m_link(link)
    , m_port(port)
    , m_requests(requests)
    , m_copy(copy)
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
    if (!m_copy.isReading() && !m_copy.isWaiting())
        return;
    // What came of the unanswered request's reply so far goes to the drain too: its
    // echo may stand behind a line the phone sent unasked, or the reply's result
    // code may have begun. A request already answered, though its reply was not
    // taken for the file's, is owed nothing.
    const QByteArray held = m_link.echoBuffer;
    forgetReply();
    std::optional<QByteArray> rest;
    if (const QByteArray owed = m_requests.take(); !owed.isEmpty()) {
        m_drain.add(owed);
        rest = m_drain.take(held);
    }
    const QString summary = m_copy.cancel();
    if (rest)
        resumeAfterDrain(*rest);
    if (!summary.isEmpty())
        m_prompts.message(summary, Prompts::Icon::Information);
}

void ReceiveDispatcher::resetLink()
{
    // What an earlier connection left half received would stand in front of the
    // first reply on this one.
    forgetReply();
    m_requests.answered();
    m_drain.reset();
    m_owedFraming.clear();
    m_owesRestOfLine = false;
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
    // Asked again before a reply came, the phone sends the next right behind it, so
    // a piece may end one reply and begin another, or hold several.
    for (QByteArray next = gatherReply(fresh); !next.isEmpty();)
        next = gatherReply(next);
}

QByteArray ReceiveDispatcher::gatherReply(const QByteArray &fresh)
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
    QByteArray nextReply;
    if (const qsizetype next = NextReplyAt(m_link.echoBuffer, pieceStart); next >= 0) {
        nextReply = m_link.echoBuffer.sliced(next);
        m_link.echoBuffer.truncate(next);
        m_link.replyBuffer.chop(nextReply.size());
    }

    const QByteArrayView gathered(m_link.echoBuffer);
    const ResultCodes codes = FindResultCodes(gathered, pieceStart);
    const qsizetype error = codes.error;
    const qsizetype ok = codes.ok;
    const qsizetype resultEnd = codes.end();
    // Told once the reply is handled: what it brought is listed or saved by then.
    const QByteArray completed = resultEnd >= 0 ? m_link.echoBuffer.first(resultEnd) : QByteArray();
    const bool rejected = codes.rejected();
    if (resultEnd >= 0) {
        m_requests.answered();
        oweFramingAfter(gathered.sliced(resultEnd));
    } else if (gathered.size() > LongestReply) {
        dropEndlessReply();
        return {};
    } else {
        m_copy.showProgressOf(gathered);
    }

    if (error >= 0 && m_copy.skipRefusedInRun()) {
        forgetReply();
        m_view.replyCompleted(completed, rejected);
        return nextReply;
    }
    if (error >= 0) {
        m_prompts.message(QStringLiteral("Ошибочная комманда"), Prompts::Icon::None);
        if (ok < 0) {
            // The rejected exchange is over, and with it any copy. Left in the
            // buffers it would stand in front of the next reply as part of it.
            forgetReply();
            m_copy.end();
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
            m_copy.take(m_link.echoBuffer);
        m_link.echoBuffer.clear();
        m_copy.replyOver();
    }
    if (resultEnd >= 0)
        m_view.replyCompleted(completed, rejected);
    return nextReply;
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
    if (unasked.contains("OK") || unasked.contains("ERROR"))
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

void ReceiveDispatcher::forgetReply()
{
    m_link.replyBuffer.clear();
    m_link.echoBuffer.clear();
    m_copy.replyOver();
}

void ReceiveDispatcher::handleDeviceLost()
{
    m_view.setLamp(false);
    forgetReply();
    // Nothing more comes over this connection, for a request still owed neither.
    m_requests.answered();
    if (m_copy.isRunning() && m_waitForPhone && m_waitForPhone(m_port.eventFailure())) {
        m_copy.suspend();
        return;
    }
    m_copy.interrupt(m_port.eventFailure().message());
}

void ReceiveDispatcher::dropEndlessReply()
{
    forgetReply();
    // Whatever more it brings is dropped through its result code, if it ever ends.
    m_drain.add({});
    m_copy.interrupt(QStringLiteral("Ответ телефона не кончается: больше 1 МБ без OK. Ответ отброшен."));
}
