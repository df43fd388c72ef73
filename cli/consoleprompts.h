#pragma once

#include "app/prompts.h"

#include <QStringList>

class Console;

// The prompts without a person to answer them: messages go to the console, the
// one place to save a file is the one the user named, and a question is
// answered Yes.
class ConsolePrompts : public Prompts
{
public:
    // holdNotes: notes (the information messages) wait until it is known whether
    // they are wanted; see showHeldNotes.
    ConsolePrompts(Console &console, bool holdNotes);

    // Where the next file is written; asked for once.
    void setSavePath(const QString &path) { m_savePath = path; }
    // The notes held back so far, shown now; held notes are for a run that failed.
    void showHeldNotes();

    void message(const QString &text, Icon icon) override;
    bool question(const QString &text, Icon icon) override;
    std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                        const QString &proposedName) override;
    std::optional<QString> existingDirectory(const QString &title, const QString &startFolder) override;
    void beep() override;
    bool asksForAnotherPlace() const override { return false; }

private:
    Console &m_console;
    const bool m_holdNotes;
    QStringList m_heldNotes;
    std::optional<QString> m_savePath;
};
