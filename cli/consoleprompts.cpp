#include "consoleprompts.h"

#include "console.h"

ConsolePrompts::ConsolePrompts(Console &console, bool holdNotes)
    : m_console(console)
    , m_holdNotes(holdNotes)
{
}

void ConsolePrompts::showHeldNotes()
{
    for (const QString &note : std::as_const(m_heldNotes))
        m_console.say(note);
    m_heldNotes.clear();
}

void ConsolePrompts::message(const QString &text, Icon icon)
{
    if (m_holdNotes && icon == Icon::Information)
        m_heldNotes.append(text);
    else
        m_console.say(text);
}

bool ConsolePrompts::question(const QString &, Icon)
{
    // The one question the core asks is whether to keep a copy that is damaged on
    // the phone: a backup keeps what the phone holds, and the exit status tells.
    return true;
}

std::optional<QString> ConsolePrompts::saveFileName(const QString &, const QString &, const QString &)
{
    return std::exchange(m_savePath, std::nullopt);
}

std::optional<QString> ConsolePrompts::existingDirectory(const QString &, const QString &)
{
    return std::nullopt;
}

void ConsolePrompts::beep()
{
}
