#include "filereader.h"

#include "commandlinewriter.h"
#include "copyview.h"
#include "app/Module1.h"

namespace {

constexpr QByteArrayView FileReadEcho = "AT*ERIF";

} // namespace

QString PiecesWord(int count)
{
    const bool oneLike = count % 10 == 1 && count % 100 != 11;
    return oneLike ? QStringLiteral("части") : QStringLiteral("частей");
}

FileReader::FileReader(Module1 &link, CommandLineWriter &writer, CopyView &view)
    : m_link(link)
    , m_download(link.download)
    , m_writer(writer)
    , m_view(view)
{
}

MaybeFailure FileReader::start(const QByteArray &rawName, const QString &readableName)
{
    m_download.start(rawName, readableName);
    m_pieceProgress.reset();
    m_shownProgress = 0;
    MaybeFailure failure = requestPiece(m_download.chunkIndex);
    if (failure)
        m_download.end();
    return failure;
}

MaybeFailure FileReader::requestPiece(qint64 &piece)
{
    return RequestChunk(m_writer, PhonePath(m_link, m_download.rawName), piece);
}

void FileReader::showProgressOf(QByteArrayView gathered)
{
    // Only a reply that will count as the file's: any other's digits are never added,
    // and a piece read again adds none (its garbled first read was shown already).
    if (m_download.state == Download::State::Reading && !m_download.repair && m_download.lineRetries == 0
        && !m_download.resumeCheck && gathered.startsWith(FileReadEcho)) {
        showProgress(m_download.fileData.size() + m_pieceProgress.bytesIn(gathered));
    }
}

void FileReader::showProgress(qint64 bytes)
{
    // A garbled reply's digits were counted as they came; the piece asked for again
    // brings as many, so the count does not take them back meanwhile.
    m_shownProgress = qMax(m_shownProgress, bytes);
    m_view.showDownloadProgress(m_shownProgress);
}

FileReader::Step FileReader::take(const QByteArray &exchange)
{
    m_download.chunkReply += exchange;
    if (m_download.resumeCheck)
        return takeResumeCheck();
    return m_download.repair ? takeRereadPiece() : takePiece();
}

FileReader::Step FileReader::resume()
{
    // Whatever came of the piece asked for when the link went is lost with it.
    m_download.chunkReply.clear();
    m_pieceProgress.reset();
    m_download.lineRetries = 0;
    const qint64 size = m_download.fileData.size();
    std::optional<qint64> compared;
    if (m_download.repair) {
        // The file is complete; a piece still to be read again cannot be vouched
        // for. The last one holds the archive's directory, the best witness.
        compared = m_download.repair->lastSettledPiece(size);
        if (!compared)
            return rereadPiece();
    } else {
        // Until the file is complete, fileData holds whole pieces only.
        m_download.chunkIndex = size / PieceLength;
        if (m_download.chunkIndex == 0)
            return request(m_download.chunkIndex);
        compared = m_download.chunkIndex - 1;
    }
    m_download.resumeCheck = compared;
    qint64 piece = *compared;
    return request(piece);
}

FileReader::Step FileReader::takeResumeCheck()
{
    const ChunkReply reply = ParseChunkReply(m_download.chunkReply);
    m_download.chunkReply.clear();
    qint64 piece = *m_download.resumeCheck;
    if (!reply.data || reply.garbled())
        return readAgainFromLine(piece);
    m_download.lineRetries = 0;
    m_download.resumeCheck.reset();
    // The phone may be given another file of the same name while the cable is
    // out; a piece read again shows it, where the size alone might not.
    const QByteArray before = m_download.fileData.mid(piece * PieceLength, PieceLength);
    if (reply.count == before.size() && *reply.data == before)
        return m_download.repair ? rereadPiece() : request(m_download.chunkIndex);
    const QByteArray rawName = m_download.rawName;
    const QString readableName = m_download.readableName;
    m_download.start(rawName, readableName);
    m_shownProgress = 0;
    m_view.showDownloadProgress(0);
    const Step step = request(m_download.chunkIndex);
    return step == Step::Asked ? Step::Restarted : step;
}

FileReader::Step FileReader::takePiece()
{
    switch (ParseChunk(m_download)) {
    case ChunkOutcome::FileComplete:
        return checkFile();
    case ChunkOutcome::NeedMore:
        m_view.setDownloadRunning(true);
        showProgress(m_download.fileData.size());
        return request(m_download.chunkIndex);
    case ChunkOutcome::Garbled:
        // The piece just asked for, once more.
        --m_download.chunkIndex;
        return readAgainFromLine(m_download.chunkIndex);
    case ChunkOutcome::BadData:
        break;
    }
    return fail(QStringLiteral("Ошибка в данных"), true);
}

FileReader::Step FileReader::checkFile()
{
    m_view.showCopyStage(QStringLiteral("проверка…"));
    // What was found sound while the file arrived holds for the file as it came;
    // once pieces are read again, all is checked anew.
    const QList<SoundEntryData> known = m_download.precheck ? m_download.precheck->finish() : QList<SoundEntryData>();
    m_download.precheck.reset();
    const ArchiveCheck check = CheckArchive(m_download.fileData, known);
    const bool damaged = check.verdict == ArchiveCheck::Verdict::Damaged;
    if (damaged) {
        if (!m_download.repair)
            m_download.repair.emplace();
        if (m_download.repair->startRound(check, m_download.fileData.size()))
            return rereadPiece();
    }
    m_view.reportCheck(m_download.readableName, check);
    m_damagedEntry = damaged ? check.failedEntry : QString();
    return Step::Read;
}

FileReader::Step FileReader::rereadPiece()
{
    const CopyRepair &repair = *m_download.repair;
    m_view.showCopyStage(QStringLiteral("повторное чтение: %1 из %2 %3")
                             .arg(repair.position())
                             .arg(repair.pieces())
                             .arg(PiecesWord(repair.pieces())));
    qint64 piece = repair.piece();
    return request(piece);
}

FileReader::Step FileReader::takeRereadPiece()
{
    const ChunkReply reply = ParseChunkReply(m_download.chunkReply);
    m_download.chunkReply.clear();
    // A piece read again must come as it came the first time, in length at least;
    // one that does not is never spliced in.
    if (!reply.data || reply.garbled() || !m_download.repair->take(m_download.fileData, *reply.data)) {
        qint64 piece = m_download.repair->piece();
        return readAgainFromLine(piece);
    }
    m_download.lineRetries = 0;
    return m_download.repair->roundDone() ? checkFile() : rereadPiece();
}

FileReader::Step FileReader::readAgainFromLine(qint64 &piece)
{
    if (m_download.lineRetries == MaxLineRetries)
        return fail(QStringLiteral("Ответ телефона искажён на линии"), true);
    ++m_download.lineRetries;
    return request(piece);
}

FileReader::Step FileReader::request(qint64 &piece)
{
    const MaybeFailure failure = requestPiece(piece);
    // A device that vanished under the write is told of by its own event.
    if (!failure || m_writer.lostUnder(*failure))
        return Step::Asked;
    return fail(failure->message(), false);
}

FileReader::Step FileReader::fail(const QString &why, bool dataFailed)
{
    m_why = why;
    m_dataFailed = dataFailed;
    return Step::Failed;
}
