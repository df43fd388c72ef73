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
    // Stops a running copy at once: nothing more is asked for or saved, and what
    // the phone still sends for it is dropped.
    void cancelDownload();
    // Copies the entries into the folder one after the other, then says how it went.
    void startCopyAll(const QString &folder, const QList<CopyAll::Entry> &entries);

private:
    void handlePiece(const QByteArray &piece);
    QByteArray withoutOwedFraming(const QByteArray &piece);
    void oweFramingAfter(QByteArrayView textAfterResultCode);
    void handleFileReadReply();
    void endDownload();
    void forgetReply();
    void handleDeviceLost();
    // True when a write failed because the device went: the lost-device event reports it.
    bool lostUnderWrite(const Failure &failure) const;
    // In a run of copies: the current file could not be copied; on to the next.
    void skipInRun(const QString &reason);
    void continueRun();
    void finishRun(bool cancelled);

    Module1 &m_link;
    SerialControl &m_port;
    LinkView &m_view;
    Prompts &m_prompts;
    // The CR and/or LF still owed by the last result code; a serial read may end
    // right after "OK", and that framing belongs to the finished reply.
    QByteArray m_owedFraming;
    PieceProgress m_pieceProgress;
    ReplyDrain m_drain;
    std::optional<CopyAll> m_run;
};
