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
    void data(const QByteArray &line);
    // A message for the user, on lines of its own.
    void say(const QString &text);
    // Replaces the progress line; nothing when progress is not shown.
    void showProgress(const QString &line);
    void clearProgress();
    // False when some data could not be written.
    bool dataWritten() const { return m_dataWritten; }

private:
    const bool m_showProgress;
    // How many characters of the progress line are on the screen.
    qsizetype m_drawn = 0;
    bool m_dataWritten = true;
};
