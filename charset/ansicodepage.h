#pragma once

#include <QByteArray>
#include <QString>

// The program's narrow-text code page: windows-1251, the code page of the Russian
// systems the interface is written for. It stands in for the system ANSI code page
// wherever narrow text meets the screen or the serial line.
namespace AnsiCodePage {

constexpr int Number = 1251;

// Every byte has a character in windows-1251, so this never loses anything.
QString toText(QByteArrayView bytes);

// Characters the code page cannot represent become '?', as a best-fit
// conversion to a single-byte code page does.
QByteArray fromText(QStringView text);

} // namespace AnsiCodePage
