#include "download.h"

#include "app/Module1.h"
#include "commandlinewriter.h"
#include "charset/ansicodepage.h"
#include "app/growingappend.h"
#include "routes.h"
#include "textsearch.h"
#include "zipformat.h"

#include <array>
#include <cstring>

namespace {

constexpr QByteArrayView Marker = "\r\n*ERIF";
constexpr qsizetype LengthFieldWidth = 5;

constexpr std::array<bool, 256> HexDigits = [] {
    std::array<bool, 256> digits{};
    for (int c = 0; c < 256; ++c)
        digits[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    return digits;
}();

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
    precheck.reset();
    repair.reset();
    lineRetries = 0;
    resumeCheck.reset();
}

QString ChunkCommand(QByteArrayView phonePath, qint64 chunkIndex)
{
    return QStringLiteral("AT*ERIF=\"%1\",%2,%3")
        .arg(QString::fromLatin1(EncodeHex(phonePath)))
        .arg(chunkIndex * PieceLength)
        .arg(PieceLength);
}

MaybeFailure RequestChunk(CommandLineWriter &port, QByteArrayView phonePath, qint64 &chunkIndex)
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
    return ChunkReply{DecodeHex(data), isNumber ? std::optional<qint64>(count) : std::nullopt,
                      isNumber && count != PieceLength};
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
    // that are not data. Every digit of a copy passes here, so the digits between
    // two such signs are counted through a table, with no test per byte.
    constexpr int MarkerLetters = 4;
    const char *const text = reply.data();
    const qsizetype size = reply.size();
    qsizetype at = m_scanned;
    int lettersLeft = m_markerLettersLeft;
    bool ended = m_dataEnded;
    qint64 digits = m_digits;
    while (at < size && !ended) {
        if (lettersLeft > 0) {
            const qsizetype skipped = qMin<qsizetype>(lettersLeft, size - at);
            lettersLeft -= int(skipped);
            at += skipped;
            continue;
        }
        const auto *colon = static_cast<const char *>(memchr(text + at, ':', size_t(size - at)));
        const qsizetype end = colon ? colon - text : size;
        const auto *star = static_cast<const char *>(memchr(text + at, '*', size_t(end - at)));
        const qsizetype sign = star ? star - text : end;
        for (; at < sign; ++at)
            digits += HexDigits[static_cast<unsigned char>(text[at])];
        if (at < size) {
            ended = !star;
            lettersLeft = star ? MarkerLetters : 0;
            ++at;
        }
    }
    m_scanned = at;
    m_markerLettersLeft = lettersLeft;
    m_dataEnded = ended;
    m_digits = digits;
    return m_digits / 2;
}

ChunkOutcome ParseChunk(Download &download)
{
    const ChunkReply reply = ParseChunkReply(download.chunkReply);
    download.chunkReply.clear();
    if (!reply.data)
        return ChunkOutcome::BadData;
    if (reply.garbled())
        return ChunkOutcome::Garbled;
    download.lineRetries = 0;
    const bool firstPiece = download.fileData.isEmpty();
    AppendGrowing(download.fileData, *reply.data);
    // A JAR's entries are checked as they come in, while the line brings the rest.
    if (firstPiece && download.fileData.startsWith(Zip::LocalSignatureBytes))
        download.precheck = std::make_unique<ArchivePrecheck>();
    if (download.precheck)
        download.precheck->add(*reply.data);
    return reply.fileComplete ? ChunkOutcome::FileComplete : ChunkOutcome::NeedMore;
}
