#pragma once

// The whole program against our phone simulator, and the files it reads and writes.
#include "app/Form1.h"
#include "support/phonesimulator.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

inline const QByteArray FolderHex = "2F7470612F7072657365742F73797374656D2F6F61662F";

inline QStringList rows(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

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

    bool copying() const { return window->findChild<QPlainTextEdit *>("Text1")->isVisible(); }

    // Double-clicks the entry and waits until its download has ended and the window
    // takes input again.
    [[nodiscard]] bool download(const QString &name)
    {
        const QList<QListWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
        if (found.size() != 1)
            return false;
        const QPoint place = list->visualItemRect(found.first()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, place);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, place);
        return copying() && QTest::qWaitFor([this] { return !copying(); }, 30000)
               && window->centralWidget()->isEnabled();
    }

    QString savePath(const QString &name) const { return saveFolder.filePath(name); }
};

