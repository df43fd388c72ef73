#pragma once

// The whole program against our phone simulator on a pseudo-terminal.
#include "support/jobhelpers.h"
#include "support/phonesimulator.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

#include <memory>

// The program, connected to a simulator serving one folder.
struct Session
{
    QTemporaryDir phoneFolder;
    QTemporaryDir saveFolder;
    ScriptedPrompts prompts;
    std::unique_ptr<PhoneSimulator> phone;
    std::unique_ptr<Form1> window;
    QListWidget *list = nullptr;

    // Puts the files in the phone's folder and connects, answering the dialogs with
    // the scripted prompts unless others are given; false if any step failed.
    [[nodiscard]] bool start(const QMap<QString, QByteArray> &files, const QStringList &options = {},
                             Prompts *otherPrompts = nullptr)
    {
        for (auto file = files.begin(); file != files.end(); ++file) {
            if (!writeFile(phoneFolder.filePath(file.key()), file.value()))
                return false;
        }
        phone = std::make_unique<PhoneSimulator>(phoneFolder.path(), options);
        phone->mapToPort(5);
        prompts.modalMilliseconds = 20;
        window = std::make_unique<Form1>(otherPrompts ? *otherPrompts : prompts);
        window->show();
        list = window->findChild<QListWidget *>("List2");
        window->btnConnect_Click();
        if (!prompts.messages.isEmpty())
            qWarning() << "connecting said" << prompts.messageTexts();
        return !phone->devicePath().isEmpty() && prompts.messages.isEmpty();
    }

    bool copying() const { return isCopying(*window); }
    [[nodiscard]] bool download(const QString &name) { return downloadEntry(*window, name); }

    QString savePath(const QString &name) const { return saveFolder.filePath(name); }
};

