#pragma once

#include <QString>

#include <optional>

// The phone's names as the tool prints them and takes them back. A control
// character (U+0000 to U+001F, U+007F to U+009F) is written \xNN and a backslash
// \\, so a name stays on one line, nothing in it drives the terminal, and every
// printed name reads back as the one it came from.
QString PrintedName(const QString &name);
// The name a printed one stands for (\xNN in either case); nullopt when a
// backslash begins neither \\ nor \xNN.
std::optional<QString> NameFromPrinted(const QString &printed);
// A message for the terminal, names quoted in it as they came: its control
// characters are written \xNN, but for the line breaks between its lines.
QString MessageForTerminal(const QString &text);
