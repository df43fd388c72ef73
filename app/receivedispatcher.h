#pragma once

#include "failure.h"
#include "replydrain.h"
#include "phonefs/copyall.h"
#include "phonefs/download.h"

#include <QByteArray>
#include <optional>

struct Module1;
class LinkView;
class Prompts;
class SerialControl;

// The handling of the serial control's communication event: gathers the pieces of
// each reply, reports rejected commands, hands every completed reply to the
// listing parser and drives a download piece by piece until it is saved.
class ReceiveDispatcher
{
public:
    ReceiveDispatcher(Module1 &link, SerialControl &port, LinkView &view, Prompts &prompts);

    void MSC_OnComm();
    // Handles bytes as if the port had just received them.
    void takeReceived(const QByteArray &piece);
    // Starts copying the entry with these names: asks for its first piece.
    [[nodiscard]] MaybeFailure startDownload(const QByteArray &rawName, const QString &readableName);
    // Stops a running copy at once: nothing more is asked for or saved, and what
    // the phone still sends for it is dropped.
    void cancelDownload();
    // Copies the entries into the folder one after the other, then says how it went.
    void startCopyAll(const QString &folder, const QList<CopyAll::Entry> &entries);
    // The port was opened: nothing of an earlier connection's replies will come.
    void resetLink();
    // A copy, or a run of copies, is going on.
    bool isCopying() const;

private:
    void handlePiece(const QByteArray &piece);
    void resumeAfterDrain(const QByteArray &rest);
    // Adds fresh text to the reply and handles the reply once its result code is in.
    void gather(const QByteArray &fresh);
    // Drops what the phone sent unasked in front of an echo; how many bytes.
    qsizetype setAsideUnaskedLines(qsizetype pieceStart);
    // Asks for piece index of the copy, remembering the request the phone will echo.
    [[nodiscard]] MaybeFailure requestPiece(qint64 &index);
    QByteArray withoutOwedFraming(const QByteArray &piece);
    void oweFramingAfter(QByteArrayView textAfterResultCode);
    void handleFileReadReply();
    // The file is in: checks it against its archive's checksums, reads again what
    // failed while rounds are left, then saves it.
    void checkCopy();
    void rereadPiece();
    void takeRereadPiece();
    // Asks for a piece the line garbled once more, or gives the copy up when it
    // came garbled too often.
    void readAgainFromLine(qint64 &piece);
    // Ends a copy whose data cannot be had: the message, or in a run the reason.
    void abandonCopy(const QString &why);
    // damagedEntry: what failed the check of a file damaged on the phone.
    void saveCopy(const QString &damagedEntry);
    // A request that could not be written ends the copy, unless the device went.
    void stopUnlessWritten(const MaybeFailure &failure);
    // Ends the copy, if one runs; saved when its file was written.
    void endDownload(bool saved = false);
    void forgetReply();
    void handleDeviceLost();
    void dropEndlessReply();
    // Ends a copy or run that cannot go on, saying why and, for a run, how far it got.
    void interruptCopy(const QString &why);
    // In a run of copies: the current file could not be copied; on to the next.
    void skipInRun(const QString &reason);
    void continueRun();
    void finishRun();
    // Forgets the run and its notice line; the summary to show.
    QString endRun(bool cancelled);

    Module1 &m_link;
    SerialControl &m_port;
    LinkView &m_view;
    Prompts &m_prompts;
    // The CR and/or LF still owed by the last result code; a serial read may end
    // right after "OK", and that framing belongs to the finished reply.
    QByteArray m_owedFraming;
    // The rest of an extended error's line, "+CME ERROR: 4" cut after its ERROR.
    bool m_owesRestOfLine = false;
    PieceProgress m_pieceProgress;
    ReplyDrain m_drain;
    // The read request written last, until a result code answers it.
    QByteArray m_unansweredRequest;
    std::optional<CopyAll> m_run;
};
