#pragma once

#include <QByteArray>
#include <QString>

// Where the tool's words go: the data asked for on standard output, everything
// else on standard error, with one progress line redrawn in place when a person
// watches.
class Console
{
public:
    explicit Console(bool showProgress);

    // One line of data; written at once, so a reading script sees it at once.
    // False when it could not be, as when the reader is gone; the user is told.
    [[nodiscard]] bool data(const QByteArray &line);
    // A message for the user, on lines of its own.
    void say(const QString &text);
    // Replaces the progress line; nothing when progress is not shown.
    void showProgress(const QString &line);
    void clearProgress();

private:
    const bool m_showProgress;
    // How many characters of the progress line are on the screen.
    qsizetype m_drawn = 0;
};
