#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <optional>

// What the phone still sends for replies the program gave up on: read requests
// whose copies the user cancelled, or a reply too long to be real. Each such reply
// is dropped up to and including the result code that ends it; the echo of a later
// command at the start of a line ends the dropping at once, as it shows that the
// phone dropped the requests itself. Hex data never holds "OK", "ERROR" or "AT",
// so none of them can be mistaken in it.
class ReplyDrain
{
public:
    // One more reply to drop. ownEcho: the request as the phone echoes it, when
    // known; wherever it starts a line, it is dropped with the reply.
    void add(const QByteArray &ownEcho);
    bool isActive() const { return m_replies > 0; }
    // Drops nothing more: the link to the phone starts anew.
    void reset() { finish({}); }

    // Takes received text: nullopt while it still belongs to dropped replies, else
    // what follows them (from the line end after the last result code, or from a
    // later echo), to be handled as usual.
    std::optional<QByteArray> take(QByteArrayView text);

    // The text kept between calls: only what may still be the start of a keyword
    // or of an echo, however long the dropped replies run.
    qsizetype heldSize() const { return m_held.size(); }

private:
    qsizetype echoAtLineStart() const;
    // Forgets the first count bytes of the held text, scanned to the end.
    void drop(qsizetype count);
    QByteArray finish(QByteArrayView rest);

    int m_replies = 0;
    QByteArrayList m_ownEchoes;
    QByteArray m_held;
    // Whether the held text begins a line.
    bool m_atLineStart = true;
};
