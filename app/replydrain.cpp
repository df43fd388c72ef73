#include "replydrain.h"

#include <algorithm>

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";
constexpr QByteArrayView Echo = "AT";

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

} // namespace

void ReplyDrain::add(const QByteArray &ownEcho)
{
    ++m_replies;
    if (!ownEcho.isEmpty())
        m_ownEchoes.append(ownEcho);
}

std::optional<QByteArray> ReplyDrain::take(QByteArrayView text)
{
    m_held += text;
    for (;;) {
        const QByteArrayView held(m_held);
        const qsizetype ok = held.indexOf(Ok);
        const qsizetype error = held.indexOf(Error);
        const qsizetype echo = echoAtLineStart();
        const qsizetype result = ok < 0 ? error : error < 0 ? ok : qMin(ok, error);

        if (echo >= 0 && (result < 0 || echo < result)) {
            const QByteArrayView from = held.sliced(echo);
            const auto own = std::find_if(m_ownEchoes.cbegin(), m_ownEchoes.cend(), [from](const QByteArray &line) {
                return from.startsWith(line) || QByteArrayView(line).startsWith(from);
            });
            if (own == m_ownEchoes.cend())
                return finish(from);
            if (from.size() < own->size()) {
                drop(echo); // the echo is not all there yet
                return std::nullopt;
            }
            drop(echo + own->size());
            m_ownEchoes.erase(own);
            continue;
        }
        if (result >= 0) {
            const qsizetype end = result + (result == ok ? Ok.size() : Error.size());
            if (--m_replies > 0) {
                drop(end);
                continue;
            }
            return finish(held.sliced(end));
        }
        // A keyword or an echo may be cut at the end; look at that end again with
        // the next text.
        drop(qMax<qsizetype>(0, held.size() - (Error.size() - 1)));
        return std::nullopt;
    }
}

qsizetype ReplyDrain::echoAtLineStart() const
{
    for (qsizetype at = m_held.indexOf(Echo); at >= 0; at = m_held.indexOf(Echo, at + 1)) {
        if (at == 0 ? m_atLineStart : isLineEnd(m_held.at(at - 1)))
            return at;
    }
    return -1;
}

void ReplyDrain::drop(qsizetype count)
{
    if (count == 0)
        return;
    m_atLineStart = isLineEnd(m_held.at(count - 1));
    m_held.remove(0, count);
}

QByteArray ReplyDrain::finish(QByteArrayView rest)
{
    const QByteArray kept = rest.toByteArray();
    m_replies = 0;
    m_ownEchoes.clear();
    m_held.clear();
    m_atLineStart = true;
    return kept;
}
