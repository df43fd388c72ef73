// Core code in the windows' folder: it asks for a path through the prompts, no widget.
#pragma once

#include <QString>

class Prompts;

namespace cmnDialog {

// Shows the modal Save dialog (title "Save File", the one filter "All files (*.*)",
// no question before an existing file is chosen) with the proposed name. Returns
// non-zero when the user confirmed a path, 0 on cancel or when the chosen path does
// not fit the path buffer. savePath receives the chosen path, or else the proposed
// name as the buffer still holds it.
int ShowSaveDialog(Prompts &prompts, const QString &proposedName, QString &savePath);

} // namespace cmnDialog
