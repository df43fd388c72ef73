#pragma once

#include "app/failure.h"
#include "download.h"

#include <QByteArray>
#include <QString>

class CommandLineWriter;
class CopyView;
struct Module1;

// "части" or "частей", as Russian counts pieces: "из 1 части", "из 3 частей",
// "из 21 части".
QString PiecesWord(int count);

// Reads one file of the listed folder into the link's download, piece by piece:
// asks for each piece, asks again for one the line garbled, checks a finished
// archive and reads again the pieces that failed the check. It never saves: it
// says when the file is read, and its owner saves it.
class FileReader
{
public:
    enum class Step {
        Asked,  // a request is out, or the device went under it and its event follows
        Read,   // the file is in fileData, checked
        Failed, // the file cannot be had; why() says why
        Restarted, // the file changed on the phone while the link was down: asked
                   // for its first piece again
    };

    FileReader(Module1 &link, CommandLineWriter &writer, CopyView &view);

    // Asks for the entry's piece 0.
    [[nodiscard]] MaybeFailure start(const QByteArray &rawName, const QString &readableName);
    // Writes the request for a piece of the file being read, then counts the piece on.
    [[nodiscard]] MaybeFailure requestPiece(qint64 &piece);
    // The reply gathered so far, while it arrives: its digits count in the progress.
    void showProgressOf(QByteArrayView gathered);
    // Shows the bytes read so far, never fewer than shown before for this file.
    void showProgress(qint64 bytes);
    // The reply gathered so far is over: handled, or dropped.
    void replyOver() { m_pieceProgress.reset(); }
    // A complete file-read reply, echo included.
    Step take(const QByteArray &exchange);
    // The port is open again after the device was lost: the whole pieces read stay,
    // and the last of them is asked for again, to tell whether the file is still the
    // one being read.
    Step resume();

    // Once Read: what failed the check of a file damaged on the phone, else empty.
    const QString &damagedEntry() const { return m_damagedEntry; }
    // Once Failed: why, as a line of its own or a run's reason, and whether the data
    // failed (said with ": файл не сохранён") rather than a request.
    const QString &why() const { return m_why; }
    bool dataFailed() const { return m_dataFailed; }

private:
    Step takePiece();
    Step takeRereadPiece();
    Step takeResumeCheck();
    // The file is in: checks it, reads again what failed while rounds are left.
    Step checkFile();
    Step rereadPiece();
    // Asks for a piece the line garbled once more, or fails when it came garbled
    // too often.
    Step readAgainFromLine(qint64 &piece);
    Step request(qint64 &piece);
    Step fail(const QString &why, bool dataFailed);

    Module1 &m_link;
    Download &m_download;
    CommandLineWriter &m_writer;
    CopyView &m_view;
    PieceProgress m_pieceProgress;
    qint64 m_shownProgress = 0;
    QString m_damagedEntry;
    QString m_why;
    bool m_dataFailed = false;
};
