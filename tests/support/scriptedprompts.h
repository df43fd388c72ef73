#pragma once

#include "app/prompts.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <QTest>

// Answers the program's dialogs from a script and records what was shown. Each
// dialog keeps an event loop running for a moment, as a real modal dialog does.
class ScriptedPrompts : public Prompts
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
    };

    QList<Shown> messages;
    QStringList questions;
    QList<Icon> questionIcons;
    // The title of every file dialog; the filter and proposed name of each Save dialog.
    QStringList dialogTitles, dialogFilters, proposedNames;
    int beeps = 0;

    // Answers, taken in order; with none left, a question gets No and a Save dialog
    // is cancelled.
    QQueue<bool> questionAnswers;
    QQueue<std::optional<QString>> savePaths;
    QQueue<std::optional<QString>> folders;
    QStringList folderStarts;
    int modalMilliseconds = 0;

    void message(const QString &text, Icon icon) override
    {
        messages.append({text, icon});
        stayOpen();
    }

    bool question(const QString &text, Icon icon) override
    {
        questions.append(text);
        questionIcons.append(icon);
        stayOpen();
        return !questionAnswers.isEmpty() && questionAnswers.dequeue();
    }

    std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                        const QString &proposedName) override
    {
        dialogTitles.append(title);
        dialogFilters.append(filter);
        proposedNames.append(proposedName);
        stayOpen();
        return savePaths.isEmpty() ? std::nullopt : savePaths.dequeue();
    }

    std::optional<QString> existingDirectory(const QString &title, const QString &startFolder) override
    {
        dialogTitles.append(title);
        folderStarts.append(startFolder);
        stayOpen();
        return folders.isEmpty() ? std::nullopt : folders.dequeue();
    }

    void beep() override { ++beeps; }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Shown &shown : messages)
            texts.append(shown.text);
        return texts;
    }

private:
    void stayOpen()
    {
        if (modalMilliseconds > 0)
            QTest::qWait(modalMilliseconds);
    }
};
