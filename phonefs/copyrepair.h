#pragma once

#include "archivecheck.h"

#include <QByteArray>
#include <QList>

#include <optional>

// Mending a copy the line damaged. The read command carries no checksum, but the
// archive does: the pieces that hold what failed its check are read again and
// spliced in, round by round. A piece that comes back as it was is what the phone
// holds; when a whole round comes back unchanged, the damage is the phone's own.
class CopyRepair
{
public:
    static constexpr int MaxRounds = 3;

    // Plans the next round for a check that found damage; false when none is left:
    // the rounds are used up, or the last one changed nothing.
    bool startRound(const ArchiveCheck &check, qint64 fileSize);

    // The piece to read next, and where it stands in the round.
    qint64 piece() const { return m_pieces.at(m_next); }
    int position() const { return int(m_next) + 1; }
    int pieces() const { return int(m_pieces.size()); }
    bool roundDone() const { return m_next == m_pieces.size(); }
    // The file's last piece that this round is not still to read again, whose bytes
    // the copy can vouch for; nullopt when the round reads every piece left.
    std::optional<qint64> lastSettledPiece(qint64 fileSize) const;

    // The piece as read again, spliced into fileData in place of what was there.
    // Data of another length than the piece's first read is garbled or the file
    // changed: it is not placed, and false asks for the piece once more.
    bool take(QByteArray &fileData, const QByteArray &pieceData);

private:
    int m_round = 0;
    QList<qint64> m_pieces;
    qsizetype m_next = 0;
    bool m_changed = false;
};
