#include "archivecheck.h"

#include "zipformat.h"


#include <zlib.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

using Range = ArchiveCheck::Range;
using namespace Zip;

// The end record ends the file, after a comment of at most 65 535 bytes. The same
// tail is what a broken structure with no better clue asks to re-read.
constexpr qint64 EndSearchSize = EndRecordSize + MaxCommentSize;
constexpr qint64 MaxTotalSize = qint64(1) << 30;

// True when [at, at + length) lies within [0, limit).
bool fits(qint64 at, qint64 length, qint64 limit)
{
    return at >= 0 && length >= 0 && at <= limit && length <= limit - at;
}

const Bytef *zbytes(QByteArrayView bytes)
{
    return reinterpret_cast<const Bytef *>(bytes.data());
}

// An entry as its central directory record declares it.
struct Entry
{
    QByteArrayView name;
    quint16 flags = 0;
    quint16 method = 0;
    quint32 crc = 0;
    quint32 compressedSize = 0;
    quint32 size = 0;
    qint64 localOffset = 0;
    Range record;
};

// A comment may hold the end record's signature too: the record is the one whose
// comment reaches exactly to the end of the file.
std::optional<qint64> findEndRecord(QByteArrayView file)
{
    const qint64 last = file.size() - EndRecordSize;
    for (qint64 at = last; at >= 0 && at >= last - MaxCommentSize; --at) {
        if (u32(file, at) == EndSignature && u16(file, at + 20) == last - at)
            return at;
    }
    return std::nullopt;
}

// Exactly `count` records filling [at, end), or nothing.
std::optional<QList<Entry>> readDirectory(QByteArrayView file, qint64 at, qint64 end, qint64 count)
{
    QList<Entry> entries;
    entries.reserve(qMin(count, (end - at) / CentralRecordSize));
    for (qint64 i = 0; i < count; ++i) {
        if (!fits(at, CentralRecordSize, end) || u32(file, at) != CentralSignature)
            return std::nullopt;
        const qint64 nameLength = u16(file, at + 28);
        const qint64 recordSize = CentralRecordSize + nameLength + u16(file, at + 30) + u16(file, at + 32);
        if (!fits(at, recordSize, end))
            return std::nullopt;
        Entry entry;
        entry.flags = u16(file, at + 8);
        entry.method = u16(file, at + 10);
        entry.crc = u32(file, at + 16);
        entry.compressedSize = u32(file, at + 20);
        entry.size = u32(file, at + 24);
        entry.localOffset = u32(file, at + 42);
        entry.name = file.sliced(at + CentralRecordSize, nameLength);
        entry.record = {at, at + recordSize};
        entries.append(entry);
        at += recordSize;
    }
    if (at != end)
        return std::nullopt;
    return entries;
}

// Inflates one entry after another through a fixed buffer, so a lying size costs
// time at most, never memory.
// The descriptor after an entry's data, with or without its optional signature:
// nothing when it does not agree with the central record, else whether its sizes
// are ZIP64's 8 bytes. Sizes a ZIP64 field announced are 8 bytes; others are
// taken as 4 bytes, or else as 8, which some writers use unannounced.
std::optional<bool> agreeingDescriptor(QByteArrayView file, qint64 at, qint64 limit, const Entry &entry,
                                       bool announcedWide)
{
    const auto agreesAt = [&](qint64 fields, qint64 width) {
        // 8-byte sizes that the record's 4 bytes can hold have their high halves 0.
        const auto sizeIs = [&](qint64 field, quint32 size) {
            return u32(file, field) == size && (width == 4 || u32(file, field + 4) == 0);
        };
        return fits(fields, 4 + 2 * width, limit) && u32(file, fields) == entry.crc
               && sizeIs(fields + 4, entry.compressedSize) && sizeIs(fields + 4 + width, entry.size);
    };
    const auto agreesFrom = [&](qint64 fields) -> std::optional<bool> {
        if (!announcedWide && agreesAt(fields, 4))
            return false;
        if (agreesAt(fields, 8))
            return true;
        return std::nullopt;
    };
    if (fits(at, 4, limit) && u32(file, at) == DescriptorSignature) {
        if (const std::optional<bool> wide = agreesFrom(at + 4))
            return wide;
    }
    return agreesFrom(at);
}

// Whether the local header's extra fields, [at, end), hold a ZIP64 field: its
// sizes, and a descriptor's, are then 8 bytes.
bool hasZip64Extra(QByteArrayView file, qint64 at, qint64 end)
{
    while (fits(at, 4, end)) {
        if (u16(file, at) == Zip64ExtraId)
            return true;
        at += 4 + u16(file, at + 2);
    }
    return false;
}

bool zip64Sizes(const Entry &entry)
{
    return entry.compressedSize == Zip64Value || entry.size == Zip64Value;
}

// An entry's local part: where it lies, and whether it declares what the central record does.
struct Local
{
    qint64 dataAt = 0;
    qint64 end = 0; // past the data and descriptor, as far as the lengths tell
    bool alike = false;
};

Local readLocal(QByteArrayView file, qint64 limit, const Entry &entry)
{
    Local local;
    const qint64 at = entry.localOffset;
    local.end = qMin(at + LocalHeaderSize, limit);
    if (!fits(at, LocalHeaderSize, limit))
        return local;
    // Even under a damaged signature the lengths most likely still tell where the data ends.
    const qint64 nameLength = u16(file, at + 26);
    const qint64 extraAt = at + LocalHeaderSize + nameLength;
    local.dataAt = extraAt + u16(file, at + 28);
    const qint64 dataEnd = local.dataAt + entry.compressedSize;
    const bool hasDescriptor = entry.flags & DescriptorFlag;
    const bool headerFits = fits(at, local.dataAt - at, limit);
    // A ZIP64 field in the extra makes the descriptor's sizes 8 bytes.
    const bool wideDescriptor = hasDescriptor && headerFits && hasZip64Extra(file, extraAt, local.dataAt);
    local.end = qMin(dataEnd + (!hasDescriptor ? 0 : wideDescriptor ? Zip64DescriptorSize : DescriptorSize), limit);
    if (!headerFits || u32(file, at) != LocalSignature || u16(file, at + 6) != entry.flags
        || u16(file, at + 8) != entry.method || file.sliced(at + LocalHeaderSize, nameLength) != entry.name)
        return local;
    // ZIP64 sizes lie in extra fields and are left unchecked.
    if (zip64Sizes(entry)) {
        local.alike = true;
        return local;
    }
    if (!hasDescriptor) {
        local.alike = u32(file, at + 14) == entry.crc && u32(file, at + 18) == entry.compressedSize
                      && u32(file, at + 22) == entry.size;
        return local;
    }
    // A descriptor stands in for the local header's CRC and sizes, which may then be
    // 0, or 0xFFFFFFFF with a ZIP64 field; its own sizes may be 8 bytes without one.
    const std::optional<bool> wide = agreeingDescriptor(file, dataEnd, limit, entry, wideDescriptor);
    local.alike = wide.has_value();
    if (wide.value_or(false))
        local.end = qMin(dataEnd + Zip64DescriptorSize, limit);
    return local;
}

// Whether the data, all before `limit`, is what the central record declares.
bool dataSound(QByteArrayView file, qint64 limit, const Entry &entry, qint64 dataAt,
               const QList<SoundEntryData> &known, EntryInflater &inflater)
{
    if (!fits(dataAt, entry.compressedSize, limit))
        return false;
    if (known.contains(SoundEntryData{dataAt, entry.method, entry.compressedSize, entry.size, entry.crc}))
        return true;
    return inflater.yields(file.sliced(dataAt, entry.compressedSize), entry.method, entry.size, entry.crc);
}

QList<Range> merged(QList<Range> ranges)
{
    std::sort(ranges.begin(), ranges.end(), [](const Range &a, const Range &b) { return a.begin < b.begin; });
    QList<Range> out;
    for (const Range &range : ranges) {
        if (!out.isEmpty() && range.begin <= out.last().end)
            out.last().end = qMax(out.last().end, range.end);
        else
            out.append(range);
    }
    return out;
}

ArchiveCheck damaged(const QString &what, const QList<Range> &suspects)
{
    return {ArchiveCheck::Verdict::Damaged, what, merged(suspects)};
}

ArchiveCheck notChecked(const QString &reason)
{
    return {ArchiveCheck::Verdict::NotChecked, reason, {}};
}

// Whatever broke, the bytes from the central directory on hold the structure;
// `more` are further suspects.
ArchiveCheck structureDamaged(QByteArrayView file, std::optional<qint64> directoryOffset, QList<Range> more = {})
{
    const qint64 size = file.size();
    const qint64 begin = directoryOffset && *directoryOffset < size ? *directoryOffset
                                                                     : qMax<qint64>(0, size - EndSearchSize);
    more.append({begin, size});
    return damaged(QStringLiteral("центральный каталог"), more);
}

// Whether some entry's local header, with the entry's name, lies where the
// directory says once `shift` is added.
bool someLocalHeaderAt(QByteArrayView file, qint64 limit, const QList<Entry> &entries, qint64 shift)
{
    return std::any_of(entries.begin(), entries.end(), [&](const Entry &entry) {
        const qint64 at = entry.localOffset + shift;
        const qint64 nameLength = entry.name.size();
        return fits(at, LocalHeaderSize + nameLength, limit) && u32(file, at) == LocalSignature
               && u16(file, at + 26) == nameLength && file.sliced(at + LocalHeaderSize, nameLength) == entry.name;
    });
}

QString readableName(QByteArrayView name)
{
    return name.isEmpty() ? QStringLiteral("файл без имени") : QString::fromUtf8(name);
}

} // namespace

ArchiveCheck CheckArchive(QByteArrayView file, const QList<SoundEntryData> &known)
{
    // A file that ends as an archive is one, whatever the line made of its first bytes.
    const std::optional<qint64> endAt = findEndRecord(file);
    if (!endAt) {
        if (file.size() < 4 || u32(file, 0) != LocalSignature)
            return {};
        return structureDamaged(file, std::nullopt);
    }
    const qint64 end = *endAt;
    const quint16 entriesHere = u16(file, end + 8);
    const quint16 entryCount = u16(file, end + 10);
    const quint32 directorySize = u32(file, end + 12);
    const quint32 directoryOffset = u32(file, end + 16);
    const QString zip64 = QStringLiteral("формат ZIP64");
    if (entriesHere == Zip64Count || entryCount == Zip64Count || directorySize == Zip64Value
        || directoryOffset == Zip64Value
        || (end >= Zip64LocatorSize && u32(file, end - Zip64LocatorSize) == Zip64LocatorSignature))
        return notChecked(zip64);
    // A broken structure's suspects take in the end record, whatever offset it holds.
    const qint64 structureAt = directoryOffset < file.size() ? qMin<qint64>(directoryOffset, end) : directoryOffset;
    // One disk, and the directory just before the end record.
    if (u16(file, end + 4) != 0 || u16(file, end + 6) != 0 || entriesHere != entryCount || directorySize > end)
        return structureDamaged(file, structureAt);
    // Offsets count from the archive's start, which a stub in front (a script that
    // runs the archive, say) moves on by its length.
    const qint64 directoryAt = end - directorySize;
    const qint64 stub = directoryAt - directoryOffset;
    std::optional<QList<Entry>> entries;
    if (stub >= 0)
        entries = readDirectory(file, directoryAt, end, entryCount);
    if (!entries)
        return structureDamaged(file, structureAt);
    // The local headers lie as far on as the stub is long. Where none does, the end
    // record's offset is wrong, or else the header that would show it is: the first
    // one, since with more entries one damage cannot hide them all.
    if (!entries->isEmpty() && !someLocalHeaderAt(file, directoryAt, *entries, stub)) {
        const Entry &first = entries->first();
        const qint64 firstAt = first.localOffset + stub;
        const qint64 firstEnd = qMin(firstAt + LocalHeaderSize + first.name.size(), directoryAt);
        if ((stub > 0 && someLocalHeaderAt(file, directoryAt, *entries, 0)) || firstAt >= firstEnd)
            return structureDamaged(file, structureAt);
        return structureDamaged(file, structureAt, {{firstAt, firstEnd}});
    }
    for (Entry &entry : *entries)
        entry.localOffset += stub;
    QList<Local> locals;
    locals.reserve(entries->size());
    for (const Entry &entry : *entries)
        locals.append(readLocal(file, directoryAt, entry));

    // Decided before anything is inflated, and only by entries whose local header
    // agrees: a digit changed in the directory must not pass for what is unchecked.
    qint64 total = 0;
    for (qsizetype i = 0; i < entries->size(); ++i) {
        const Entry &entry = entries->at(i);
        if (!locals[i].alike)
            continue;
        if (zip64Sizes(entry))
            return notChecked(zip64);
        if (entry.flags & EncryptedFlag)
            return notChecked(QStringLiteral("зашифрованный файл"));
        if (entry.method != Stored && entry.method != Deflated)
            return notChecked(QStringLiteral("метод сжатия %1").arg(entry.method));
        total += entry.size;
    }
    if (total > MaxTotalSize)
        return notChecked(QStringLiteral("больше 1 ГиБ после распаковки"));

    EntryInflater inflater;
    if (!inflater.ready())
        return notChecked(QStringLiteral("не хватило памяти"));
    // Every failing entry, so that one round of re-reading can mend them all.
    QString firstFailed;
    QList<Range> suspects;
    for (qsizetype i = 0; i < entries->size(); ++i) {
        const Entry &entry = entries->at(i);
        const Local &local = locals[i];
        if (local.alike && dataSound(file, directoryAt, entry, local.dataAt, known, inflater))
            continue;
        if (suspects.isEmpty())
            firstFailed = readableName(entry.name);
        if (entry.localOffset < local.end)
            suspects.append({entry.localOffset, local.end});
        suspects.append(entry.record);
    }
    if (suspects.isEmpty())
        return {ArchiveCheck::Verdict::Sound, {}, {}};
    return damaged(firstFailed, suspects);
}

struct EntryInflater::Stream
{
    z_stream z{};
    bool ready = false;
    Bytef out[64 * 1024];
};

EntryInflater::EntryInflater()
    : m_stream(std::make_unique<Stream>())
{
    m_stream->ready = inflateInit2(&m_stream->z, -MAX_WBITS) == Z_OK;
}

EntryInflater::~EntryInflater()
{
    if (m_stream->ready)
        inflateEnd(&m_stream->z);
}

bool EntryInflater::ready() const
{
    return m_stream->ready;
}

bool EntryInflater::yields(QByteArrayView data, quint16 method, quint32 size, quint32 crc)
{
    if (method == Stored)
        return data.size() == size && crc32(0, zbytes(data), uInt(data.size())) == crc;
    z_stream &z = m_stream->z;
    Bytef *const out = m_stream->out;
    if (!m_stream->ready || inflateReset(&z) != Z_OK)
        return false;
    z.next_in = const_cast<Bytef *>(zbytes(data));
    z.avail_in = uInt(data.size());
    uLong sum = crc32(0, Z_NULL, 0);
    qint64 left = size;
    for (;;) {
        // Room for one byte more than declared is enough to see it run over.
        z.next_out = out;
        z.avail_out = uInt(qMin<qint64>(sizeof m_stream->out, left + 1));
        const int status = inflate(&z, Z_NO_FLUSH);
        const auto produced = uInt(z.next_out - out);
        left -= produced;
        if (left < 0)
            return false;
        sum = crc32(sum, out, produced);
        if (status == Z_STREAM_END)
            return left == 0 && z.avail_in == 0 && sum == crc;
        // Z_BUF_ERROR too: the data ended before the stream did.
        if (status != Z_OK)
            return false;
    }
}
