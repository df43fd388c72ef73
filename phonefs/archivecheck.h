#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <memory>

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

// An entry's data already found to yield what it declares: where they lie in the
// file, and what they were to yield.
struct SoundEntryData
{
    qint64 dataAt = 0;
    quint16 method = 0;
    quint32 compressedSize = 0;
    quint32 size = 0;
    quint32 crc = 0;
    bool operator==(const SoundEntryData &other) const
    {
        return dataAt == other.dataAt && method == other.method && compressedSize == other.compressedSize
               && size == other.size && crc == other.crc;
    }
};

// The phone's read command carries no checksum, but a JAR's entries do. The
// archive may follow a stub, such as a script that runs it. Reads no byte outside
// the view and allocates nothing in proportion to a declared size. Entries whose
// data the file holds as `known` says are taken as sound, not inflated again.
ArchiveCheck CheckArchive(QByteArrayView file, const QList<SoundEntryData> &known = {});

// Unpacks entries one after the other with one zlib stream, through a fixed
// buffer, so a lying size costs time at most, never memory.
class EntryInflater
{
public:
    EntryInflater();
    ~EntryInflater();
    EntryInflater(const EntryInflater &) = delete;
    EntryInflater &operator=(const EntryInflater &) = delete;

    // False when zlib could not set up its stream.
    bool ready() const;
    // Whether the data, all of them, stored (method 0) or deflated (8), yield exactly
    // size bytes with that CRC-32.
    bool yields(QByteArrayView data, quint16 method, quint32 size, quint32 crc);

private:
    struct Stream;
    // On the heap: its buffer would take much of a thread's stack.
    std::unique_ptr<Stream> m_stream;
};
