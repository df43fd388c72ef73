#include "receivedispatcher.h"

#include "Module1.h"
#include "linkview.h"
#include "prompts.h"
#include "serialcontrol.h"
#include "phonefs/download.h"
#include "phonefs/listing.h"
#include "phonefs/savedownload.h"
#include "phonefs/textsearch.h"

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";
constexpr QByteArrayView FileReadEcho = "AT*ERIF";
constexpr QByteArrayView ResultFraming = "\r\n";
constexpr qsizetype ExpectedReplySize = 2 * PieceLength + 512;

// Searches only where the new piece can take part, so a keyword split across two
// pieces is found once, when its last letter arrives.
qsizetype lastKeywordEndingInPiece(QByteArrayView gathered, qsizetype pieceStart,
                                   QByteArrayView keyword)
{
    const qsizetype from = qMax<qsizetype>(0, pieceStart - (keyword.size() - 1));
    const qsizetype at = FindLastProtocolText(gathered.sliced(from), keyword);
    return at < 0 ? -1 : from + at;
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
    case SerialControl::ReceiveEvent: {
        const QByteArray piece = m_port.input();
        handlePiece(piece);
        m_view.showPieceLength(piece.size());
        m_view.appendTraffic(piece);
        break;
    }
    case SerialControl::DeviceLostEvent:
        handleDeviceLost();
        break;
    default:
        break;
    }
    if (m_port.isPortOpen())
        m_view.setLamp(true);
}

void ReceiveDispatcher::handlePiece(const QByteArray &piece)
{
    const QByteArray fresh = withoutOwedFraming(piece);
    if (m_link.echoBuffer.isEmpty()) {
        // A reply to a read request holds 131070 hex digits; room for it from the
        // start spares copying it again at every doubling as it grows.
        m_link.replyBuffer.reserve(ExpectedReplySize);
        m_link.echoBuffer.reserve(ExpectedReplySize);
    }
    const qsizetype pieceStart = m_link.echoBuffer.size();
    m_link.replyBuffer += fresh;
    m_link.echoBuffer += fresh;

    const QByteArrayView gathered(m_link.echoBuffer);
    const qsizetype error = lastKeywordEndingInPiece(gathered, pieceStart, Error);
    const qsizetype ok = lastKeywordEndingInPiece(gathered, pieceStart, Ok);
    const qsizetype resultEnd = qMax(endOf(error, Error), endOf(ok, Ok));
    if (resultEnd >= 0)
        oweFramingAfter(gathered.sliced(resultEnd));

    if (error >= 0) {
        m_prompts.message(QStringLiteral("Ошибочная комманда"), Prompts::Icon::None);
        m_view.setDownloadRunning(false);
        if (ok < 0) {
            // The rejected exchange is over; left in the buffers it would stand in
            // front of the next reply and be taken for part of it.
            m_link.replyBuffer.clear();
            m_link.echoBuffer.clear();
        }
    }
    if (ok >= 0) {
        const Listing listing = ParseListing(m_link.replyBuffer);
        for (const ListedName &name : listing.names)
            m_view.addEntry(name.rawName, name.readableName);
        if (listing.statusLine)
            m_view.setListingStatus(*listing.statusLine);
        m_link.replyBuffer.clear();
        if (m_link.echoBuffer.startsWith(FileReadEcho))
            handleFileReadReply();
        m_link.echoBuffer.clear();
    }
}

QByteArray ReceiveDispatcher::withoutOwedFraming(const QByteArray &piece)
{
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
    m_owedFraming = ResultFraming.startsWith(after) ? ResultFraming.sliced(after.size()).toByteArray()
                                                    : QByteArray();
}

void ReceiveDispatcher::handleFileReadReply()
{
    m_link.chunkReply += m_link.echoBuffer;
    switch (ParseChunk(m_link)) {
    case ChunkOutcome::FileComplete: {
        const std::optional<LinkView::Entry> entry = m_view.selectedEntry();
        SaveDownload(m_prompts, m_link, entry ? entry->readableName : QString());
        m_link.fileData.clear();
        m_view.setDownloadRunning(false);
        break;
    }
    case ChunkOutcome::NeedMore: {
        m_view.setDownloadRunning(true);
        m_view.showDownloadProgress(m_link.fileData.size());
        const std::optional<LinkView::Entry> entry = m_view.selectedEntry();
        const MaybeFailure failure = entry ? RequestChunk(m_port, PhonePath(m_link, entry->rawName),
                                                          m_link.chunkIndex)
                                           : std::nullopt;
        if (!entry || failure) {
            if (failure)
                m_prompts.message(failure->message(), Prompts::Icon::None);
            abandonDownload();
        }
        break;
    }
    case ChunkOutcome::BadData:
        m_prompts.message(QStringLiteral("Ошибка в данных: файл не сохранён"), Prompts::Icon::None);
        abandonDownload();
        break;
    }
}

void ReceiveDispatcher::abandonDownload()
{
    m_link.fileData.clear();
    m_link.chunkReply.clear();
    m_view.setDownloadRunning(false);
}

void ReceiveDispatcher::handleDeviceLost()
{
    m_view.setLamp(false);
    m_link.replyBuffer.clear();
    m_link.echoBuffer.clear();
    m_owedFraming.clear();
    abandonDownload();
    m_prompts.message(m_port.eventFailure().message(), Prompts::Icon::None);
}
