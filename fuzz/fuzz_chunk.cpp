// The file-read reply parser. Any bytes: the data is set exactly when the text
// between the first marker and the first colon (further markers taken out) is
// whole hex, and then it is that hex decoded. A reply built the way the phone
// builds one, from the input's bytes: the bytes and the completeness come back.
#include "fuzzcheck.h"
#include "phonefs/download.h"

#include <QByteArrayList>

namespace {

constexpr QByteArrayView Marker = "\r\n*ERIF";

// What follows the first marker, with the later markers cut out.
QByteArray markedText(QByteArrayView reply)
{
    const qsizetype first = reply.indexOf(Marker);
    return first < 0 ? QByteArray() : reply.sliced(first + Marker.size()).toByteArray().replace(Marker, "");
}

void checkAnyReply(QByteArrayView reply)
{
    const ChunkReply parsed = ParseChunkReply(reply);
    const QByteArray text = markedText(reply);
    const qsizetype colon = text.indexOf(':');
    const QByteArray hex = colon < 0 ? text : text.first(colon);

    FUZZ_CHECK(parsed.data.has_value() == IsWholeHex(hex));
    FUZZ_CHECK(!parsed.data || *parsed.data == QByteArray::fromHex(hex));
    // The count stands after the colon; without one there is nothing to end the file.
    FUZZ_CHECK(!parsed.fileComplete || colon >= 0);

    // ParseChunk is the same decision applied to a download.
    Download download;
    download.fileData = reply.first(qMin<qsizetype>(3, reply.size())).toByteArray();
    const QByteArray before = download.fileData;
    download.chunkReply = reply.toByteArray();
    const ChunkOutcome outcome = ParseChunk(download);
    FUZZ_CHECK(download.chunkReply.isEmpty());
    const bool garbled = parsed.data && parsed.count
                         && (*parsed.count > PieceLength || *parsed.count != parsed.data->size());
    FUZZ_CHECK(outcome == (!parsed.data ? ChunkOutcome::BadData
                           : garbled ? ChunkOutcome::Garbled
                           : parsed.fileComplete ? ChunkOutcome::FileComplete : ChunkOutcome::NeedMore));
    // Bad or garbled data adds nothing.
    FUZZ_CHECK(download.fileData == before + (garbled ? QByteArray() : parsed.data.value_or(QByteArray())));
}

// Input: two bytes of count, a byte of layout, then the piece's bytes.
void checkBuiltReply(QByteArrayView input)
{
    if (input.size() < 3)
        return;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(input[i]); };
    const int count = byte(0) << 8 | byte(1);
    const bool lowerCase = byte(2) & 1;
    const qsizetype lineWidth = 1 + (byte(2) >> 1);
    const QByteArray piece = input.sliced(3).toByteArray();

    const QByteArray hex = lowerCase ? piece.toHex() : piece.toHex().toUpper();
    // The phone may spread the digits over several marked lines; an empty piece has one.
    QByteArrayList lines;
    for (qsizetype at = 0; at == 0 || at < hex.size(); at += lineWidth)
        lines.append(hex.mid(at, lineWidth));
    const QByteArray reply = "AT*ERIF=\"2F61\",0,65535\r\r\n*ERIF" + lines.join(Marker.toByteArray())
                             + ":0," + QByteArray::number(count) + "\r\n\r\nOK\r\n";

    const ChunkReply parsed = ParseChunkReply(reply);
    FUZZ_CHECK(parsed.data == piece);
    FUZZ_CHECK(parsed.fileComplete == (count != PieceLength));
    FUZZ_CHECK(parsed.count == count);
    FUZZ_CHECK(parsed.garbled() == (count > PieceLength || count != piece.size()));
    checkAnyReply(reply);
}

} // namespace

void FuzzOneInput(QByteArrayView input)
{
    checkAnyReply(input);
    checkBuiltReply(input);
}
