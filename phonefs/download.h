#pragma once

#include "app/failure.h"

#include <QByteArray>
#include <QString>
#include <optional>

struct Module1;
class SerialControl;

// A file is read in pieces of this many bytes; piece k starts at k * PieceLength.
constexpr qint64 PieceLength = 65535;

// AT*ERIF="<hex path>",<offset>,65535 and a carriage return.
QString ChunkRequestLine(QByteArrayView phonePath, qint64 chunkIndex);

// Writes the request for piece chunkIndex, then counts it on.
[[nodiscard]] MaybeFailure RequestChunk(SerialControl &port, QByteArrayView phonePath,
                                        qint64 &chunkIndex);

// Starts reading the file with this raw name from the listed folder: forgets any
// bytes left from an abandoned download and asks for piece 0.
[[nodiscard]] MaybeFailure StartDownload(Module1 &link, SerialControl &port,
                                         QByteArrayView rawName);

// The full phone path of a listed file: the folder followed by its raw name.
QByteArray PhonePath(const Module1 &link, QByteArrayView rawName);

struct ChunkReply
{
    // The piece's bytes; nullopt when its hex text cannot be decoded.
    std::optional<QByteArray> data;
    // True when the reply's count is a number other than 65535.
    bool fileComplete = false;
};

// Takes a file-read reply apart: after the first CR LF "*ERIF" marker (further
// markers removed) comes the hex data up to ":", then fields separated by ","
// whose second one starts with the returned byte count.
ChunkReply ParseChunkReply(QByteArrayView reply);

enum class ChunkOutcome { NeedMore, FileComplete, BadData };

// Parses link.chunkReply, appends its bytes to link.fileData and empties it.
ChunkOutcome ParseChunk(Module1 &link);
