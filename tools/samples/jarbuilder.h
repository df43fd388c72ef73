#pragma once

#include <QByteArray>
#include <QList>
#include <QtEndian>

#include <zlib.h>

// Builds a JAR-shaped ZIP in memory, the same bytes every time, and tells where
// each part went: for the demo's sample applications, the bench, and the tests
// that check an archive or damage one byte of it.
struct JarEntry
{
    // A data descriptor, with its signature or without, or with it and ZIP64's 8-byte sizes.
    enum class Descriptor { None, Signed, Bare, Wide };
    QByteArray name;
    QByteArray data;
    bool deflated = true;
    Descriptor descriptor = Descriptor::None;
    // Writers put different extra fields in the two places; only the record has a comment.
    QByteArray localExtra {};
    QByteArray centralExtra {};
    QByteArray comment {};
};

struct Jar
{
    struct Places
    {
        qint64 local = 0;      // the local header
        qint64 data = 0;       // the stored or deflated data
        qint64 end = 0;        // just past the data and its descriptor
        qint64 central = 0;    // the central directory record
        qint64 centralEnd = 0; // just past it
    };
    QByteArray bytes;
    QList<Places> entries;
    qint64 directory = 0; // the central directory
    qint64 endRecord = 0; // the end-of-central-directory record
};

// Writes `value` little-endian as `width` bytes at `at`.
inline void PutLittleEndian(QByteArray &bytes, qint64 at, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[at + i] = char(value >> (8 * i));
}

inline QByteArray RawDeflate(const QByteArray &data)
{
    z_stream stream {};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.truncate(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

inline Jar BuildJar(const QList<JarEntry> &entries, const QByteArray &comment = {})
{
    const auto le = [](quint32 value, int width) {
        QByteArray bytes(width, '\0');
        PutLittleEndian(bytes, 0, value, width);
        return bytes;
    };
    constexpr quint32 dosTimeAndDate = 0x58216000; // 2024-01-01 12:00
    Jar jar;
    QByteArray directory;
    for (const JarEntry &entry : entries) {
        const QByteArray data = entry.deflated ? RawDeflate(entry.data) : entry.data;
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef *>(entry.data.constData()),
                                          uInt(entry.data.size())));
        const bool described = entry.descriptor != JarEntry::Descriptor::None;
        // Names are UTF-8 (flag bit 11); a descriptor leaves the local CRC and sizes 0.
        const QByteArray common = le(20, 2) + le(0x0800 | (described ? 8 : 0), 2) + le(entry.deflated ? 8 : 0, 2)
                                  + le(dosTimeAndDate, 4);
        const QByteArray sums = le(crc, 4) + le(quint32(data.size()), 4) + le(quint32(entry.data.size()), 4);
        const QByteArray nameLength = le(quint32(entry.name.size()), 2);

        Jar::Places places;
        places.local = jar.bytes.size();
        jar.bytes += le(0x04034b50, 4) + common + (described ? QByteArray(12, '\0') : sums) + nameLength
                     + le(quint32(entry.localExtra.size()), 2) + entry.name + entry.localExtra;
        places.data = jar.bytes.size();
        jar.bytes += data;
        if (entry.descriptor == JarEntry::Descriptor::Signed)
            jar.bytes += le(0x08074b50, 4) + sums;
        else if (entry.descriptor == JarEntry::Descriptor::Bare)
            jar.bytes += sums;
        else if (entry.descriptor == JarEntry::Descriptor::Wide)
            jar.bytes += le(0x08074b50, 4) + le(crc, 4) + le(quint32(data.size()), 4) + le(0, 4)
                         + le(quint32(entry.data.size()), 4) + le(0, 4);
        places.end = jar.bytes.size();

        places.central = directory.size();
        // After the lengths: disk 0, no attributes.
        directory += le(0x02014b50, 4) + le(20, 2) + common + sums + nameLength
                     + le(quint32(entry.centralExtra.size()), 2) + le(quint32(entry.comment.size()), 2)
                     + QByteArray(8, '\0') + le(quint32(places.local), 4) + entry.name + entry.centralExtra
                     + entry.comment;
        places.centralEnd = directory.size();
        jar.entries.append(places);
    }
    jar.directory = jar.bytes.size();
    for (Jar::Places &places : jar.entries) {
        places.central += jar.directory;
        places.centralEnd += jar.directory;
    }
    jar.bytes += directory;
    jar.endRecord = jar.bytes.size();
    jar.bytes += le(0x06054b50, 4) + le(0, 4) + le(quint32(entries.size()), 2) + le(quint32(entries.size()), 2)
                 + le(quint32(directory.size()), 4) + le(quint32(jar.directory), 4) + le(quint32(comment.size()), 2)
                 + comment;
    return jar;
}
