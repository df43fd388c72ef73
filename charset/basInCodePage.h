#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Conversion between bytes in a code page and text. Code pages use the usual
// numbering: -1 and 0 both mean the program's narrow-text code page
// (windows-1251), 65001 is UTF-8. Bytes end at their first zero byte and text at
// its first NUL, as with C strings. A code page that cannot be converted gives
// nullopt.

namespace CodePage {
constexpr int Ansi = 0;
constexpr int AnsiAtCall = -1;
constexpr int Utf8 = 65001;
} // namespace CodePage

std::optional<QString> BytesToText(QByteArrayView bytes, int codePage);
std::optional<QByteArray> TextToBytes(QStringView text, int codePage);

// A raw name from the phone (UTF-8 bytes) as readable text; malformed sequences
// become U+FFFD, so this cannot fail.
QString Utf8ToText(QByteArrayView byteText);

// Text as a C string holds it: up to its first NUL.
QStringView UntilNul(QStringView text);
