#pragma once

#include <QByteArrayView>
#include <QtEndian>

// The numbers of the ZIP format that the checks of a copied archive read by.
namespace Zip {

constexpr quint32 LocalSignature = 0x04034b50;
constexpr quint32 CentralSignature = 0x02014b50;
constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr quint32 DescriptorSignature = 0x08074b50;
// How a file that is an archive begins: its first local header's signature.
constexpr QByteArrayView LocalSignatureBytes = "PK\x03\x04";

constexpr qint64 LocalHeaderSize = 30;
constexpr qint64 CentralRecordSize = 46;
constexpr qint64 EndRecordSize = 22;
constexpr qint64 Zip64LocatorSize = 20;
constexpr qint64 DescriptorSize = 16;      // with its signature
constexpr qint64 Zip64DescriptorSize = 24; // with its signature, and 8-byte sizes
constexpr quint16 Zip64ExtraId = 0x0001;
constexpr qint64 MaxCommentSize = 0xFFFF;

constexpr quint16 EncryptedFlag = 1 << 0;
constexpr quint16 DescriptorFlag = 1 << 3;
constexpr quint16 StrongEncryptionFlag = 1 << 6;
constexpr quint16 MaskedHeadersFlag = 1 << 13;
constexpr quint16 Stored = 0;
constexpr quint16 Deflated = 8;
// A 16- or 32-bit field holding this says the real value is in a ZIP64 record.
constexpr quint16 Zip64Count = 0xFFFF;
constexpr quint32 Zip64Value = 0xFFFFFFFF;

// Little-endian fields; the caller has checked that they lie within the bytes.
inline quint16 u16(QByteArrayView bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.data() + at);
}
inline quint32 u32(QByteArrayView bytes, qint64 at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

} // namespace Zip
