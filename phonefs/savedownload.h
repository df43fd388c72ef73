#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class Prompts;

// The longest path a file is saved to, a terminator included: the Save dialog's
// path buffer, and the same limit for the command-line tool.
constexpr int PathBufferSize = 255;

// Writes the whole file or nothing, replacing a file at that path only by a
// complete new one; on failure, the reason.
std::optional<QString> WriteWholeFile(const QString &path, const QByteArray &bytes);

// Asks where to store fileData and writes exactly those bytes there, replacing a
// file that stands at that path only by a complete new one. When the file cannot
// be written the user is told why and, if the prompts can ask, asked for another
// place. savePath receives the path the Save dialog left. True when saved.
bool SaveDownload(Prompts &prompts, const QByteArray &fileData, const QString &readableName,
                  QString &savePath);
