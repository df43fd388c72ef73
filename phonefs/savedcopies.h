#pragma once

#include "download.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A file a run may have saved before, under the name it would be saved as now.
struct SavedCopy
{
    QByteArray bytes;
    // A ZIP archive that passes its check: one piece of the phone's file tells
    // whether it is the same.
    bool soundArchive = false;
};

// What the folder holds under the name, or under one of its numbered forms
// ("Name (2).jar"), in that order; files that cannot be read are left out.
QList<SavedCopy> FindSavedCopies(const QString &folder, const QString &name);

// Tells from the phone's piece holding an archive's last byte whether the phone's
// file is the saved one. An archive ends with its central directory, which holds
// the size and CRC-32 of every entry, so an equal tail of an equal length means an
// equal archive.
class TailProbe
{
public:
    enum class Verdict { Same, Differs, AskNext };

    explicit TailProbe(const QByteArray &saved);

    // The piece to ask for now.
    qint64 piece() const { return m_piece; }
    // A reply the line did not garble. AskNext: the tail filled its piece; the
    // piece after it must be empty.
    Verdict take(const ChunkReply &reply);

private:
    QByteArray m_saved;
    qint64 m_piece = 0;
};
