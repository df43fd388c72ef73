#include "programrun.h"

#include "measurement.h"
#include "app/Form1.h"
#include "support/phonesimulator.h"
#include "support/scriptedprompts.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// Sleeps between events, as the program's own event loop does. The overload with
// a time limit never sleeps: spinning, it took a core from the simulator on a busy
// machine and hid the program's own wake-ups on an idle one.
bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    while (!done()) {
        if (!deadline.isActive())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Notes when the Save dialog comes up: the copy is over then, the saving to come.
class TimedPrompts : public ScriptedPrompts
{
public:
    std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                        const QString &proposedName) override
    {
        if (measurement)
            dialogSeconds = measurement->wallSeconds();
        return ScriptedPrompts::saveFileName(title, filter, proposedName);
    }

    const Measurement *measurement = nullptr;
    double dialogSeconds = 0;
};

} // namespace

RunFigures runProgram(qint64 fileSize, const QString &phoneFolder, const QStringList &phoneOptions)
{
    PhoneSimulator phone(phoneFolder, phoneOptions);
    phone.mapToPort(5);
    QTemporaryDir saveFolder;
    TimedPrompts prompts;
    prompts.savePaths.enqueue(saveFolder.filePath(QStringLiteral("saved.jar")));

    Form1 window(prompts);
    window.show();
    window.btnConnect_Click();
    auto *list = window.findChild<QListWidget *>(QStringLiteral("List2"));
    const auto entry = [&] { return list->findItems(QStringLiteral("bench.jar"), Qt::MatchExactly); };
    if (!waitFor([&] { return !entry().isEmpty(); }, 10000))
        return {};
    list->setCurrentItem(entry().first());

    const Measurement measurement;
    prompts.measurement = &measurement;
    window.List2_DblClick();
    if (!waitFor([&] { return prompts.beeps > 0 || !prompts.messages.isEmpty(); }, 600000))
        return {};
    RunFigures figures = measurement.figures(true);
    figures.dialogSeconds = prompts.dialogSeconds;

    for (const ScriptedPrompts::Shown &shown : std::as_const(prompts.messages))
        qInfo("%s", qPrintable(shown.text));
    const QByteArray saved = fileBytes(saveFolder.filePath(QStringLiteral("saved.jar")));
    const bool intact = saved.size() == fileSize && saved == fileBytes(phoneFolder + QStringLiteral("/bench.jar"));
    return intact ? figures : RunFigures{};
}
