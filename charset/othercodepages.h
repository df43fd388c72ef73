#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Code pages other than UTF-8 and the program's own windows-1251, converted by the
// system: the Windows API on Windows, where Qt is usually built without the
// converters, and Qt's converters elsewhere. nullopt when the system has no such
// code page or its conversion fails.
namespace OtherCodePages {

std::optional<QString> toText(QByteArrayView bytes, int codePage);
std::optional<QByteArray> fromText(QStringView text, int codePage);

} // namespace OtherCodePages
