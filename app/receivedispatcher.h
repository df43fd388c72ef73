#pragma once

#include "replydrain.h"

#include "failure.h"

#include <QByteArray>
#include <functional>

class LinkView;
class OwedRequest;
class PhoneCopy;
class Prompts;
class SerialControl;
struct Module1;

// The handling of the serial control's communication event: gathers the pieces of
// each reply, drops lines the phone sends unasked and what it still sends for a
// cancelled read, reports rejected commands, and routes every completed reply: to
// the listing parser, and a file-read reply to the copy that asked for it.
class ReceiveDispatcher
{
public:
    ReceiveDispatcher(Module1 &link, SerialControl &port, OwedRequest &requests, PhoneCopy &copy,
                      LinkView &view, Prompts &prompts);

    void MSC_OnComm();
    // Handles bytes as if the port had just received them.
    void takeReceived(const QByteArray &piece);
    // Stops a running copy at once: nothing more is asked for or saved, and what
    // the phone still sends for it is dropped.
    void cancelDownload();
    // The port was opened: nothing of an earlier connection's replies will come.
    void resetLink();
    // Asked when the device goes while a copy runs, with why it went: true when the
    // copy is to wait for the device to come back rather than end.
    void setWaitForPhone(std::function<bool(const Failure &)> wait) { m_waitForPhone = std::move(wait); }

private:
    void handlePiece(const QByteArray &piece);
    void resumeAfterDrain(const QByteArray &rest);
    // Adds fresh text to the replies and handles each once its result code is in.
    void gather(const QByteArray &fresh);
    // The same for the reply under way; returns the text of the next, if any began.
    QByteArray gatherReply(const QByteArray &fresh);
    // Drops what the phone sent unasked in front of an echo; how many bytes.
    qsizetype setAsideUnaskedLines(qsizetype pieceStart);
    QByteArray withoutOwedFraming(const QByteArray &piece);
    void oweFramingAfter(QByteArrayView textAfterResultCode);
    void forgetReply();
    void handleDeviceLost();
    void dropEndlessReply();

    Module1 &m_link;
    SerialControl &m_port;
    OwedRequest &m_requests;
    PhoneCopy &m_copy;
    LinkView &m_view;
    Prompts &m_prompts;
    // The CR and/or LF still owed by the last result code; a serial read may end
    // right after "OK", and that framing belongs to the finished reply.
    QByteArray m_owedFraming;
    // The rest of an extended error's line, "+CME ERROR: 4" cut after its ERROR.
    bool m_owesRestOfLine = false;
    ReplyDrain m_drain;
    std::function<bool(const Failure &)> m_waitForPhone;
};
