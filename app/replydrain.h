#pragma once

#include <QByteArray>
#include <optional>

// What the phone still sends for a read request whose copy the user cancelled. It
// is dropped up to and including the result code that ends it, or up to the echo
// of a later command, which shows that the phone dropped the request itself. Hex
// data never holds "OK", "ERROR" or "AT", so neither can be mistaken in it.
class ReplyDrain
{
public:
    // ownEcho: the cancelled request as the phone echoes it, when that echo has
    // not arrived yet; it is dropped like the rest of the reply.
    void start(const QByteArray &ownEcho);
    bool isActive() const { return m_active; }

    // Takes received text: nullopt while it still belongs to the cancelled reply,
    // else what follows that reply, to be handled as usual.
    std::optional<QByteArray> take(const QByteArray &text);
    // The line end still owed by the result code that ended the reply, when the
    // text ended before it.
    QByteArray owedFraming() const { return m_owedFraming; }

private:
    QByteArray finish(QByteArrayView rest);

    bool m_active = false;
    QByteArray m_ownEcho;
    QByteArray m_held;
    qsizetype m_from = 0;
    QByteArray m_owedFraming;
};
