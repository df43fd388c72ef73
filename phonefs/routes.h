#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The hex codec of the phone's file commands and the filter of listed names.
// Byte text (raw names, file contents) is held as QByteArray, one byte per byte.

// Each byte as two upper-case hex digits: 0x09 gives "09", 0x2F gives "2F".
QByteArray EncodeHex(QByteArrayView bytes);
// Text goes through the program's code page first, as the phone expects narrow text.
QByteArray EncodeHex(QStringView text);

// Two hex digits per byte, either case. Fails (nullopt) on any other character and
// on an odd number of digits; there is never a partial result.
std::optional<QByteArray> DecodeHex(QByteArrayView hex);

// The value of one digit pair: the first two characters count; a missing second
// digit fails.
std::optional<int> HexPairValue(QByteArrayView pair);

// True for entries left out of the lists: names without a dot (folders, files
// without an extension) and "..".
bool IsSkippedName(QByteArrayView name);
