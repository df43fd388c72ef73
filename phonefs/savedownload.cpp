#include "savedownload.h"

#include "app/Module1.h"
#include "app/prompts.h"
#include "windows/cmnDialog.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

// Writes the whole file or nothing; on failure returns the reason.
std::optional<QString> writeWholeFile(const QString &path, const QByteArray &bytes)
{
    if (QFileInfo(path).isDir())
        return QStringLiteral("Is a directory");
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

} // namespace

QString ProposedFileName(const QString &readableName)
{
    QString name = readableName;
    for (QChar &c : name) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u'_';
    }
    return name;
}

void SaveDownload(Prompts &prompts, Module1 &link, const QString &readableName)
{
    const QString proposed = ProposedFileName(readableName);
    for (;;) {
        if (cmnDialog::ShowSaveDialog(prompts, proposed, link.savePath) == 0) {
            prompts.message(QStringLiteral("You Canceled Saving"), Prompts::Icon::Information);
            return;
        }
        const std::optional<QString> failure = writeWholeFile(link.savePath, link.fileData);
        if (!failure)
            break;
        prompts.message(QStringLiteral("Saving Failed: \"%1\"\n%2").arg(link.savePath, *failure),
                        Prompts::Icon::Warning);
    }
    link.fileData.clear();
    prompts.beep();
    prompts.message(QStringLiteral("Data Saved to: \"%1\"").arg(link.savePath),
                    Prompts::Icon::Information);
}
