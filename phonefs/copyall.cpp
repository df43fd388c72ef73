#include "copyall.h"

#include "safefilename.h"
#include "savedownload.h"

#include <QDir>
#include <QFileInfo>

CopyAll::CopyAll(const QString &folder, const QList<Entry> &entries)
    : m_folder(folder)
    , m_entries(entries)
{
}

QString CopyAll::currentTitle() const
{
    // One arg() call: a name may hold "%1" itself.
    return QStringLiteral("%1 из %2: %3").arg(QString::number(m_current + 1), QString::number(m_entries.size()),
                                             current().readableName);
}

void CopyAll::saveCurrent(const QByteArray &bytes, const QString &damagedEntry)
{
    const QString path = freePath(SafeFileName(current().readableName));
    if (const std::optional<QString> failure = WriteWholeFile(path, bytes)) {
        skipCurrent(*failure);
        return;
    }
    if (!damagedEntry.isEmpty())
        m_notes.append(QStringLiteral("%1: сохранён, но повреждён (%2)").arg(current().readableName, damagedEntry));
    ++m_saved;
    ++m_current;
}

void CopyAll::skipCurrent(const QString &reason)
{
    m_notes.append(QStringLiteral("%1: %2").arg(current().readableName, reason));
    ++m_current;
}

void CopyAll::keepPresent()
{
    ++m_present;
    ++m_current;
}

QList<SavedCopy> CopyAll::savedCopies() const
{
    return FindSavedCopies(m_folder, SafeFileName(current().readableName));
}

QString CopyAll::summary(bool cancelled) const
{
    QString text = QStringLiteral("Скопировано файлов: %1 из %2").arg(m_saved).arg(m_entries.size());
    if (cancelled)
        text += QStringLiteral(" (отменено)");
    if (m_present > 0)
        text += QStringLiteral("\nУже были в папке: %1").arg(m_present);
    for (const QString &line : m_notes)
        text += QLatin1Char('\n') + line;
    return text;
}

QString CopyAll::freePath(const QString &name) const
{
    const QDir folder(m_folder);
    QString candidate = name;
    // "Name.jar" becomes "Name (2).jar"; a name without a dot just gets the number.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.first(dot) : name;
    const QString suffix = dot > 0 ? name.sliced(dot) : QString();
    // Any entry of that name is taken, a link to nowhere too: a save there would
    // make a file wherever the link points.
    const auto taken = [&folder](const QString &name) {
        const QFileInfo entry(folder.filePath(name));
        return entry.exists() || entry.isSymLink();
    };
    for (int copy = 2; taken(candidate); ++copy)
        candidate = QStringLiteral("%1 (%2)%3").arg(stem, QString::number(copy), suffix);
    return folder.filePath(candidate);
}
