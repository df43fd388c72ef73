#pragma once

#include <QString>

// Which file system a name must suit.
enum class FileNameRules { Posix, Windows };

#ifdef Q_OS_WIN
constexpr FileNameRules HostFileNameRules = FileNameRules::Windows;
#else
constexpr FileNameRules HostFileNameRules = FileNameRules::Posix;
#endif

// A name that came from the phone, made fit to be a file name in the folder it is
// saved to: a corrupt or hostile name can neither point into another folder, nor
// hide its end behind invisible characters, nor name something other than a plain
// file. Path separators and control and format characters (U+202E turning the text
// around, for one) become "_" everywhere. On Windows, so do < > : " | ? *, which
// would otherwise write a data stream or fail; trailing dots and blanks, which
// Windows drops, go; and a device name (CON, NUL, COM1, COM¹...) gets "_" in front. The
// result is never empty, "." or "..".
QString SafeFileName(const QString &phoneName, FileNameRules rules = HostFileNameRules);
