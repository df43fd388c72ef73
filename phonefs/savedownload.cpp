#include "savedownload.h"

#include "safefilename.h"
#include "app/prompts.h"
#include "windows/cmnDialog.h"

#include <QFileInfo>
#include <QSaveFile>

std::optional<QString> WriteWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("Is a directory");
    // Saving through a link would write wherever it points, outside the folder shown.
    if (target.isSymLink())
        return QStringLiteral("Is a symbolic link");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

bool SaveDownload(Prompts &prompts, const QByteArray &fileData, const QString &readableName,
                  QString &savePath)
{
    const QString proposed = SafeFileName(readableName);
    for (;;) {
        if (cmnDialog::ShowSaveDialog(prompts, proposed, savePath) == 0) {
            prompts.message(QStringLiteral("You Canceled Saving"), Prompts::Icon::Information);
            return false;
        }
        const std::optional<QString> failure = WriteWholeFile(savePath, fileData);
        if (!failure)
            break;
        prompts.message(QStringLiteral("Saving Failed: \"%1\"\n%2").arg(savePath, *failure),
                        Prompts::Icon::Warning);
        if (!prompts.asksForAnotherPlace())
            return false;
    }
    prompts.beep();
    prompts.message(QStringLiteral("Data Saved to: \"%1\"").arg(savePath),
                    Prompts::Icon::Information);
    return true;
}
