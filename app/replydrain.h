#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <optional>

// What the phone still sends for read requests whose copies the user cancelled.
// Each such reply is dropped up to and including the result code that ends it;
// the echo of a later command ends the dropping at once, as it shows that the
// phone dropped the cancelled requests itself. Hex data never holds "OK",
// "ERROR" or "AT", so none of them can be mistaken in it.
class ReplyDrain
{
public:
    // One more reply to drop. ownEcho: the cancelled request as the phone echoes
    // it, when that echo has not arrived yet; it is dropped with the reply.
    void add(const QByteArray &ownEcho);
    bool isActive() const { return m_replies > 0; }

    // Takes received text: nullopt while it still belongs to cancelled replies,
    // else what follows them (from the line end after the last result code, or
    // from a later echo), to be handled as usual.
    std::optional<QByteArray> take(const QByteArray &text);

private:
    QByteArray finish(QByteArrayView rest);

    int m_replies = 0;
    QByteArrayList m_ownEchoes;
    QByteArray m_held;
    qsizetype m_from = 0;
};
