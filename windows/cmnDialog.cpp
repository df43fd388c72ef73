#include "cmnDialog.h"

#include "phonefs/savedownload.h"

#include "app/prompts.h"
#include "charset/basInCodePage.h"

namespace cmnDialog {

int ShowSaveDialog(Prompts &prompts, const QString &proposedName, QString &savePath)
{
    const QString proposed = UntilNul(proposedName).toString();
    const std::optional<QString> chosen
        = prompts.saveFileName(QStringLiteral("Save File"), QStringLiteral("All files (*.*)"), proposed);
    if (!chosen || chosen->size() >= PathBufferSize) {
        savePath = proposed;
        return 0;
    }
    savePath = UntilNul(*chosen).toString();
    return 1;
}

} // namespace cmnDialog
