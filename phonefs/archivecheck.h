#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

// What checking a copied file against its own ZIP checksums found.
struct ArchiveCheck
{
    enum class Verdict {
        NotArchive, // neither begins with a ZIP local header nor ends with an end record:
                    // saved as it is, unchecked
        Sound,      // every entry inflates to its declared size with its declared CRC-32
        NotChecked, // ZIP64, an encrypted entry, or entries claiming more than 1 GiB in all
        Damaged,    // something does not match
    };
    struct Range
    {
        qint64 begin = 0;
        qint64 end = 0;
        bool operator==(const Range &other) const { return begin == other.begin && end == other.end; }
    }; // [begin, end) in the file
    Verdict verdict = Verdict::NotArchive;
    // Damaged: the name of the first entry that failed, as readable text (UTF-8 names);
    // when the archive's structure itself fails, a Russian word for it such as
    // "центральный каталог". NotChecked: a short Russian reason.
    QString failedEntry;
    // Damaged: the bytes whose re-reading may mend it, sorted, merged, within the file.
    QList<Range> suspectRanges;
};

// The phone's read command carries no checksum, but a JAR's entries do. Reads no
// byte outside the view and allocates nothing in proportion to a declared size.
ArchiveCheck CheckArchive(QByteArrayView file);
