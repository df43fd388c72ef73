#pragma once

#include "app/failure.h"
#include "archiveprecheck.h"
#include "copyrepair.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

struct Module1;
class CommandLineWriter;

// A file is read in pieces of this many bytes; piece k starts at k * PieceLength.
constexpr qint64 PieceLength = 65535;

// A file being copied from the phone. The entry is fixed when the copy starts, so
// every piece is asked for by the same name whatever the lists show meanwhile.
struct Download
{
    enum class State { Idle, Reading, Saving };

    State state = State::Idle;
    QByteArray rawName;    // as the phone stores it; named in every request
    QString readableName;  // proposed in the Save dialog
    qint64 chunkIndex = 0; // the next piece to ask for, from 0
    QByteArray chunkReply; // the file-read exchange not yet taken apart
    QByteArray fileData;   // the file's bytes so far, in order
    // While a JAR arrives: its entries checked as their bytes come in.
    std::unique_ptr<ArchivePrecheck> precheck;
    // Once the file is complete and its check failed: the pieces read again.
    std::optional<CopyRepair> repair;
    // How often the piece now asked for was read again because the line garbled it.
    int lineRetries = 0;
    // The link came back: the piece asked for is the last whole one again (the
    // file's last, once it is complete), to be compared with what was read of it.
    std::optional<qint64> resumeCheck;

    // Reading from piece 0, with nothing left of an earlier copy.
    void start(const QByteArray &raw, const QString &readable);
    void startSaving() { state = State::Saving; }
    // Idle again: the bytes are dropped, whether they were saved or not.
    void end();
};

// AT*ERIF="<hex path>",<offset>,65535
QString ChunkCommand(QByteArrayView phonePath, qint64 chunkIndex);

// Writes the request for piece chunkIndex, then counts it on.
[[nodiscard]] MaybeFailure RequestChunk(CommandLineWriter &port, QByteArrayView phonePath,
                                        qint64 &chunkIndex);

// The full phone path of a listed file: the folder followed by its raw name.
QByteArray PhonePath(const Module1 &link, QByteArrayView rawName);

// A garbled reply is read again this many times before the copy is given up.
constexpr int MaxLineRetries = 3;

struct ChunkReply
{
    // The piece's bytes; nullopt when its hex text cannot be decoded.
    std::optional<QByteArray> data;
    // The byte count the reply states; nullopt when it is no number.
    std::optional<qint64> count;
    // True when the reply's count is a number other than 65535.
    bool fileComplete = false;

    // The count disagrees with the data it came with, or is more than was asked
    // for: the line changed the reply on its way, and nothing of it can be trusted.
    bool garbled() const { return count && (*count > PieceLength || (data && data->size() != *count)); }
};

// Takes a file-read reply apart: after the first CR LF "*ERIF" marker (further
// markers removed) comes the hex data up to ":", then fields separated by ","
// whose second one starts with the returned byte count.
ChunkReply ParseChunkReply(QByteArrayView reply);

// Counts the data bytes of a read reply while its hex digits arrive, for the
// notice: a full piece takes seconds on a slow line. Each call looks only at what
// was added to the reply since the last one.
class PieceProgress
{
public:
    // The data bytes in the reply gathered so far.
    qint64 bytesIn(QByteArrayView reply);
    void reset() { *this = PieceProgress(); }

private:
    qsizetype m_scanned = 0;
    bool m_inData = false;
    bool m_dataEnded = false;
    int m_markerLettersLeft = 0;
    qint64 m_digits = 0;
};

enum class ChunkOutcome { NeedMore, FileComplete, BadData, Garbled };

// Parses download.chunkReply, appends its bytes to download.fileData (and to the
// pre-check of a JAR) and empties it. A garbled reply adds nothing.
ChunkOutcome ParseChunk(Download &download);
