#pragma once

#include <QString>
#include <optional>

// Everything that waits for the user: message boxes, the Yes/No question, the Save
// dialog and the beep. The program shows Qt's dialogs; tests answer through their
// own implementation, so no person is needed.
class Prompts
{
public:
    enum class Icon { None, Information, Question, Warning };

    virtual ~Prompts() = default;

    // A modal message with an OK button, captioned with the application title.
    virtual void message(const QString &text, Icon icon) = 0;
    // A modal Yes/No question, Yes the default; true for Yes.
    virtual bool question(const QString &text, Icon icon) = 0;
    // A modal Save dialog; the chosen path, or nullopt when the user cancelled.
    virtual std::optional<QString> saveFileName(const QString &title, const QString &filter,
                                                const QString &proposedName)
        = 0;
    // A modal folder dialog starting in startFolder; the chosen folder, or nullopt
    // when the user cancelled.
    virtual std::optional<QString> existingDirectory(const QString &title, const QString &startFolder) = 0;
    virtual void beep() = 0;
    // Whether a file that could not be written may be offered another place: the
    // window asks again, a script named its one place up front.
    virtual bool asksForAnotherPlace() const { return true; }
};

namespace AppTitle {
inline const QString Caption = QStringLiteral("Vantor MX");
}
