#include "cmnDialog.h"

#include "app/prompts.h"

namespace cmnDialog {

namespace {

// The text of a C string buffer: up to its first NUL.
QString upToNul(const QString &text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.first(nul);
}

} // namespace

int ShowSaveDialog(Prompts &prompts, const QString &proposedName, QString &savePath)
{
    const std::optional<QString> chosen = prompts.saveFileName(
        QStringLiteral("Save File"), QStringLiteral("All files (*.*)"), upToNul(proposedName));
    if (!chosen || chosen->size() >= PathBufferSize) {
        savePath = upToNul(proposedName);
        return 0;
    }
    savePath = upToNul(*chosen);
    return 1;
}

} // namespace cmnDialog
