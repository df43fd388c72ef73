// The check of a copied archive. Any bytes: the answer is the same twice, and its
// ranges are sorted, apart, non-empty and within the file, present exactly when it
// is Damaged. An archive built from the input's bytes, maybe after a stub and with
// 8-byte descriptor sizes, is sound; with one hex digit of it changed, as the line
// changes one, it is still checked (unless a stub hides it), a Damaged answer asks
// to re-read that byte, and a changed byte of stored data is always found.
#include "fuzzcheck.h"
#include "phonefs/archivecheck.h"
#include "samples/jarbuilder.h"

#include <algorithm>

namespace {

ArchiveCheck checkAnyBytes(QByteArrayView file)
{
    const ArchiveCheck check = CheckArchive(file);
    const ArchiveCheck again = CheckArchive(file);
    FUZZ_CHECK(again.verdict == check.verdict && again.failedEntry == check.failedEntry
               && again.suspectRanges == check.suspectRanges);

    const bool damaged = check.verdict == ArchiveCheck::Verdict::Damaged;
    FUZZ_CHECK(check.suspectRanges.isEmpty() != damaged);
    FUZZ_CHECK(check.failedEntry.isEmpty() == (check.verdict == ArchiveCheck::Verdict::NotArchive
                                               || check.verdict == ArchiveCheck::Verdict::Sound));
    qint64 previousEnd = -1;
    for (const ArchiveCheck::Range &range : check.suspectRanges) {
        FUZZ_CHECK(range.begin > previousEnd && range.begin < range.end && range.end <= file.size());
        previousEnd = range.end;
    }
    return check;
}

// Input: a byte of layout, two of position, one of the changed digit, one of
// descriptor kinds, extra fields and a stub in front, then the entries' data.
void checkBuiltArchive(QByteArrayView input)
{
    if (input.size() < 5)
        return;
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(input[i]); };
    const QByteArrayView data = input.sliced(5);
    const int count = 1 + byte(0) % 3;
    // 8-byte descriptor sizes, with the ZIP64 field that announces them.
    const bool wide = byte(4) & 0x08;
    QList<JarEntry> entries;
    for (int i = 0; i < count; ++i) {
        const qsizetype from = data.size() * i / count;
        const int mode = byte(0) >> (2 + 2 * i) & 3;
        const auto descriptor = !(mode & 2)       ? JarEntry::Descriptor::None
                                : wide             ? JarEntry::Descriptor::Wide
                                : byte(4) >> i & 1 ? JarEntry::Descriptor::Signed
                                                   : JarEntry::Descriptor::Bare;
        const bool extra = byte(4) >> (4 + i) & 1;
        const QByteArray zip64Field =
            descriptor == JarEntry::Descriptor::Wide ? "\1\0\x10\0" + QByteArray(16, '\0') : QByteArray();
        entries.append({"e" + QByteArray::number(i),
                        data.sliced(from, data.size() * (i + 1) / count - from).toByteArray(), bool(mode & 1),
                        descriptor, (extra ? QByteArrayLiteral("xy\2\0ex") : QByteArray()) + zip64Field,
                        extra ? QByteArrayLiteral("xy\0\0") : QByteArray()});
    }
    const Jar jar = BuildJar(entries);
    const QByteArray stub = byte(4) & 0x80 ? QByteArrayLiteral("#!/bin/sh\n") : QByteArray();
    const QByteArray bytes = stub + jar.bytes;
    FUZZ_CHECK(checkAnyBytes(bytes).verdict == ArchiveCheck::Verdict::Sound);

    const qint64 at = (byte(1) << 8 | byte(2)) % bytes.size();
    const int shift = byte(3) & 0x80 ? 4 : 0;
    QByteArray changed = bytes;
    changed[at] = char(changed[at] ^ (1 + byte(3) % 15) << shift);
    const ArchiveCheck check = checkAnyBytes(changed);
    // Only the first bytes or the end record tell an archive: after a stub, the end
    // record's signature or comment length changed leaves nothing to tell it by.
    const qint64 endAt = stub.size() + jar.endRecord;
    const bool untold = !stub.isEmpty() && at >= endAt && (at < endAt + 4 || at >= endAt + 20);
    FUZZ_CHECK(check.verdict == ArchiveCheck::Verdict::Sound || check.verdict == ArchiveCheck::Verdict::Damaged
               || (untold && check.verdict == ArchiveCheck::Verdict::NotArchive));
    const auto coversAt = [at](const ArchiveCheck::Range &range) { return range.begin <= at && at < range.end; };
    FUZZ_CHECK(check.verdict != ArchiveCheck::Verdict::Damaged
               || std::any_of(check.suspectRanges.begin(), check.suspectRanges.end(), coversAt));
    for (int i = 0; i < count; ++i) {
        if (!entries[i].deflated && stub.size() + jar.entries[i].data <= at && at < stub.size() + jar.entries[i].end)
            FUZZ_CHECK(check.verdict == ArchiveCheck::Verdict::Damaged);
    }
}

} // namespace

void FuzzOneInput(QByteArrayView input)
{
    checkAnyBytes(input);
    checkBuiltArchive(input);
}
