#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The program's narrow-text code page: windows-1251, the code page of the Russian
// systems the interface is written for. It stands in for the system ANSI code page
// wherever narrow text meets the screen or the serial line. The conversion is the
// program's own table, so it is the same on every platform and with every Qt build
// (Qt for Windows is usually built without the converters for it).
namespace AnsiCodePage {

constexpr int Number = 1251;

// Every byte has a character in windows-1251, so this never loses anything.
QString toText(QByteArrayView bytes);

// Characters the code page cannot represent become '?', as a best-fit
// conversion to a single-byte code page does.
QByteArray fromText(QStringView text);

// What is wrong with the conversion, if anything: checked once at start, so that
// a broken one is reported instead of sending commands that are not what they say.
std::optional<QString> conversionFault();

} // namespace AnsiCodePage
