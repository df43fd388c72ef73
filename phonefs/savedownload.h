#pragma once

#include <QString>

struct Module1;
class Prompts;

// The name proposed in the Save dialog for a name that came from the phone: path
// separators and control characters become "_", so a corrupt or hostile name
// cannot point the dialog into another folder.
QString ProposedFileName(const QString &readableName);

// Asks where to store link.fileData and writes exactly those bytes there, replacing
// a file that stands at that path only by a complete new one. When the file cannot
// be written the user is told why and asked for another place.
void SaveDownload(Prompts &prompts, Module1 &link, const QString &readableName);
