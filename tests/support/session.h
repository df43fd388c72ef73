#pragma once

// The whole program against our phone simulator on a pseudo-terminal.
#include "support/jobhelpers.h"
#include "support/phonereplies.h"
#include "support/phonesimulator.h"
#include "support/scriptedprompts.h"
#include "support/testfiles.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <memory>

// The program, connected to a simulator serving one folder.
struct Session
{
    // The COM port the phone is put behind.
    static constexpr int Port = 5;

    QTemporaryDir phoneFolder;
    QTemporaryDir saveFolder;
    ScriptedPrompts prompts;
    std::unique_ptr<PhoneSimulator> phone;
    std::unique_ptr<Form1> window;
    QListWidget *list = nullptr;

    // Connects as below and waits for the listing.
    [[nodiscard]] bool start(const QMap<QString, QByteArray> &files, const QStringList &options = {},
                             Prompts *otherPrompts = nullptr)
    {
        return connect(files, options, otherPrompts) && QTest::qWaitFor([this] { return list->count() > 0; }, 10000);
    }

    // Puts the files in the phone's folder and connects, answering the dialogs with
    // the scripted prompts unless others are given; false if any step failed.
    [[nodiscard]] bool connect(const QMap<QString, QByteArray> &files, const QStringList &options = {},
                             Prompts *otherPrompts = nullptr)
    {
        phone = ServeFiles(phoneFolder, files, options);
        if (!phone)
            return false;
        phone->mapToPort(Port);
        prompts.modalMilliseconds = 20;
        window = std::make_unique<Form1>(otherPrompts ? *otherPrompts : prompts);
        window->show();
        list = window->findChild<QListWidget *>("List2");
        window->btnConnect_Click();
        if (!prompts.messages.isEmpty())
            qWarning() << "connecting said" << prompts.messageTexts();
        return prompts.messages.isEmpty();
    }

    // The copying notice shows while a copy runs.
    bool copying() const { return window->findChild<QPlainTextEdit *>("Text1")->isVisible(); }
    // No copy runs, and the window takes input.
    bool idle() const { return !copying() && window->centralWidget()->isEnabled(); }

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
        return copying() && QTest::qWaitFor([&] { return idle(); }, 30000);
    }

    QString savePath(const QString &name) const { return saveFolder.filePath(name); }
    // The port as the program's messages name it.
    QString portName() const
    {
#ifdef Q_OS_WIN
        return QStringLiteral("COM%1").arg(Port);
#else
        return phone->devicePath();
#endif
    }
};

