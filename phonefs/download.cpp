#include "download.h"

#include "app/Module1.h"
#include "app/serialcontrol.h"
#include "charset/ansicodepage.h"
#include "app/growingappend.h"
#include "routes.h"
#include "textsearch.h"

#include <cctype>

namespace {

constexpr QByteArrayView Marker = "\r\n*ERIF";
constexpr qsizetype LengthFieldWidth = 5;

// Everything after the first marker, with every further marker taken out, so data
// split over several marked lines joins up again. Data on a single line, the usual
// case, is used where it stands; joined lines are put together in storage.
QByteArrayView chunkText(QByteArrayView reply, QByteArray &storage)
{
    qsizetype from = FindProtocolText(reply, Marker);
    if (from < 0)
        return {};
    from += Marker.size();

    qsizetype next = FindProtocolText(reply, Marker, from);
    if (next < 0)
        return reply.sliced(from);
    storage.reserve(reply.size() - from);
    for (; next >= 0; next = FindProtocolText(reply, Marker, from)) {
        storage += reply.sliced(from, next - from);
        from = next + Marker.size();
    }
    storage += reply.sliced(from);
    return storage;
}

// The text between the first and the second separator, or to the end.
QByteArrayView secondField(QByteArrayView text, char separator)
{
    const qsizetype first = text.indexOf(separator);
    const QByteArrayView rest = text.sliced(first + 1);
    const qsizetype second = rest.indexOf(separator);
    return second < 0 ? rest : rest.first(second);
}

} // namespace

void Download::start(const QByteArray &raw, const QString &readable)
{
    end();
    state = State::Reading;
    rawName = raw;
    readableName = readable;
}

void Download::end()
{
    state = State::Idle;
    chunkIndex = 0;
    chunkReply.clear();
    fileData.clear();
    repair.reset();
}

QString ChunkCommand(QByteArrayView phonePath, qint64 chunkIndex)
{
    return QStringLiteral("AT*ERIF=\"%1\",%2,%3")
        .arg(QString::fromLatin1(EncodeHex(phonePath)))
        .arg(chunkIndex * PieceLength)
        .arg(PieceLength);
}

MaybeFailure RequestChunk(SerialControl &port, QByteArrayView phonePath, qint64 &chunkIndex)
{
    if (MaybeFailure failure = port.writeCommandLine(ChunkCommand(phonePath, chunkIndex)))
        return failure;
    ++chunkIndex;
    return std::nullopt;
}

QByteArray PhonePath(const Module1 &link, QByteArrayView rawName)
{
    return AnsiCodePage::fromText(link.folderPath).append(rawName);
}

ChunkReply ParseChunkReply(QByteArrayView reply)
{
    QByteArray joined;
    const QByteArrayView view = chunkText(reply, joined);

    const qsizetype colon = view.indexOf(':');
    const QByteArrayView data = colon < 0 ? view : view.first(colon);

    QByteArrayView field;
    if (colon >= 0)
        field = secondField(view, ':');
    if (field.contains(','))
        field = secondField(field, ',');

    bool isNumber = false;
    const qlonglong count = field.first(qMin(field.size(), LengthFieldWidth))
                                .toByteArray()
                                .trimmed()
                                .toLongLong(&isNumber);
    return ChunkReply{DecodeHex(data), isNumber && count != PieceLength};
}

qint64 PieceProgress::bytesIn(QByteArrayView reply)
{
    if (!m_inData) {
        const qsizetype marker = FindProtocolText(reply, Marker, qMax<qsizetype>(0, m_scanned - (Marker.size() - 1)));
        m_scanned = reply.size();
        if (marker < 0)
            return 0;
        m_inData = true;
        m_scanned = marker + Marker.size();
    }
    // The data ends at the first ":"; a further marker's "*ERIF" holds hex letters
    // that are not data.
    constexpr int MarkerLetters = 4;
    for (; m_scanned < reply.size() && !m_dataEnded; ++m_scanned) {
        const char c = reply[m_scanned];
        if (m_markerLettersLeft > 0)
            --m_markerLettersLeft;
        else if (c == '*')
            m_markerLettersLeft = MarkerLetters;
        else if (c == ':')
            m_dataEnded = true;
        else if (std::isxdigit(static_cast<unsigned char>(c)))
            ++m_digits;
    }
    return m_digits / 2;
}

ChunkOutcome ParseChunk(Download &download)
{
    const ChunkReply reply = ParseChunkReply(download.chunkReply);
    download.chunkReply.clear();
    if (!reply.data)
        return ChunkOutcome::BadData;
    AppendGrowing(download.fileData, *reply.data);
    return reply.fileComplete ? ChunkOutcome::FileComplete : ChunkOutcome::NeedMore;
}
