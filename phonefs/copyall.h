#pragma once

#include "savedcopies.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Copying every listed application into one folder, one file after the other.
// Each file is saved under its readable name; an existing file is never replaced,
// the copy gets a free name beside it instead ("Name (2).jar").
class CopyAll
{
public:
    struct Entry
    {
        QByteArray rawName;
        QString readableName;
    };

    CopyAll(const QString &folder, const QList<Entry> &entries);

    bool isDone() const { return m_current >= m_entries.size(); }
    const Entry &current() const { return m_entries.at(m_current); }
    // "2 из 5: Игра.jar"
    QString currentTitle() const;

    // Saves the current file's bytes, or notes why they could not be; moves on.
    // damagedEntry: what failed the check of a file damaged on the phone, to be
    // noted though it is saved.
    void saveCurrent(const QByteArray &bytes, const QString &damagedEntry = QString());
    // Notes why the current file was not copied; moves on.
    void skipCurrent(const QString &reason);
    // The folder holds the current file already; moves on.
    void keepPresent();
    // A line of the summary about the current file, which is not over yet.
    void noteCurrent(const QString &line) { m_notes.append(line); }
    // What the folder holds under the name the current file would be saved as.
    QList<SavedCopy> savedCopies() const;

    // "Скопировано файлов: 4 из 5", with "(отменено)" after a cancel, "Уже были в
    // папке: 1" when some were, then one line per file not copied with the reason,
    // or saved damaged.
    QString summary(bool cancelled) const;
    // Every file is in the folder, copied now or before.
    bool savedAll() const { return m_saved + m_present == m_entries.size(); }

private:
    QString freePath(const QString &name) const;

    QString m_folder;
    QList<Entry> m_entries;
    qsizetype m_current = 0;
    int m_saved = 0;
    int m_present = 0;
    QStringList m_notes;
};
