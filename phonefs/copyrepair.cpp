#include "copyrepair.h"

#include "download.h"

bool CopyRepair::startRound(const ArchiveCheck &check, qint64 fileSize)
{
    if (m_round == MaxRounds || (m_round > 0 && !m_changed))
        return false;
    ++m_round;
    m_pieces.clear();
    m_next = 0;
    m_changed = false;
    for (const ArchiveCheck::Range &range : check.suspectRanges) {
        const qint64 last = (qMin(range.end, fileSize) - 1) / PieceLength;
        for (qint64 piece = range.begin / PieceLength; piece <= last; ++piece) {
            if (m_pieces.isEmpty() || m_pieces.last() < piece)
                m_pieces.append(piece);
        }
    }
    return !m_pieces.isEmpty();
}

bool CopyRepair::take(QByteArray &fileData, const QByteArray &pieceData)
{
    const qint64 at = piece() * PieceLength;
    const qint64 length = qMin(PieceLength, fileData.size() - at);
    if (pieceData.size() != length)
        return false;
    ++m_next;
    if (QByteArrayView(fileData).sliced(at, length) != pieceData) {
        m_changed = true;
        fileData.replace(at, length, pieceData);
    }
    return true;
}

std::optional<qint64> CopyRepair::lastSettledPiece(qint64 fileSize) const
{
    const QList<qint64> pending = m_pieces.sliced(m_next);
    for (qint64 piece = (qMax<qint64>(fileSize, 1) - 1) / PieceLength; piece >= 0; --piece) {
        if (!pending.contains(piece))
            return piece;
    }
    return std::nullopt;
}
