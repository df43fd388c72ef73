#include "savedcopies.h"

#include "archivecheck.h"
#include "zipformat.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

QList<SavedCopy> FindSavedCopies(const QString &folder, const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.first(dot) : name;
    const QString suffix = dot > 0 ? name.sliced(dot) : QString();
    const QRegularExpression numbered(QStringLiteral("^%1 \\((\\d+)\\)%2$")
                                          .arg(QRegularExpression::escape(stem), QRegularExpression::escape(suffix)));
    // The plain name first, then by number: the first saved copy is the likeliest.
    QList<std::pair<qint64, QString>> names{{1, name}};
    const QDir dir(folder);
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch match = numbered.match(entry);
        if (match.hasMatch())
            names.append({match.captured(1).toLongLong(), entry});
    }
    std::sort(names.begin() + 1, names.end());

    QList<SavedCopy> copies;
    for (const auto &[number, entry] : std::as_const(names)) {
        QFile file(dir.filePath(entry));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        SavedCopy copy{file.readAll(), false};
        copy.soundArchive = copy.bytes.startsWith(Zip::LocalSignatureBytes)
                            && CheckArchive(copy.bytes).verdict == ArchiveCheck::Verdict::Sound;
        copies.append(copy);
    }
    return copies;
}

TailProbe::TailProbe(const QByteArray &saved)
    : m_saved(saved)
    , m_piece(saved.isEmpty() ? 0 : (saved.size() - 1) / PieceLength)
{
}

TailProbe::Verdict TailProbe::take(const ChunkReply &reply)
{
    const qint64 offset = m_piece * PieceLength;
    const qint64 expected = m_saved.size() - offset;
    // Past the end: the phone's file must end where the saved one does.
    if (expected == 0)
        return reply.count == 0 ? Verdict::Same : Verdict::Differs;
    if (reply.count != expected || *reply.data != QByteArrayView(m_saved).sliced(offset))
        return Verdict::Differs;
    if (expected < PieceLength)
        return Verdict::Same;
    ++m_piece;
    return Verdict::AskNext;
}
