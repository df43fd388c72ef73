#include "replydrain.h"

#include <algorithm>

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";
constexpr QByteArrayView Echo = "AT";

} // namespace

void ReplyDrain::add(const QByteArray &ownEcho)
{
    ++m_replies;
    if (!ownEcho.isEmpty())
        m_ownEchoes.append(ownEcho);
}

std::optional<QByteArray> ReplyDrain::take(const QByteArray &text)
{
    m_held += text;
    for (;;) {
        const QByteArrayView held(m_held);
        const qsizetype ok = held.indexOf(Ok, m_from);
        const qsizetype error = held.indexOf(Error, m_from);
        const qsizetype echo = held.indexOf(Echo, m_from);
        const qsizetype result = ok < 0 ? error : error < 0 ? ok : qMin(ok, error);

        if (echo >= 0 && (result < 0 || echo < result)) {
            const QByteArrayView from = held.sliced(echo);
            const auto own = std::find_if(m_ownEchoes.cbegin(), m_ownEchoes.cend(), [from](const QByteArray &line) {
                return from.startsWith(line) || QByteArrayView(line).startsWith(from);
            });
            if (own == m_ownEchoes.cend())
                return finish(from);
            if (from.size() < own->size()) {
                m_from = echo; // the echo is not all there yet
                return std::nullopt;
            }
            m_from = echo + own->size();
            m_ownEchoes.erase(own);
            continue;
        }
        if (result >= 0) {
            const qsizetype end = result + (result == ok ? Ok.size() : Error.size());
            if (--m_replies > 0) {
                m_from = end;
                continue;
            }
            return finish(held.sliced(end));
        }
        // A keyword may be cut at the end; look at that end again with the next text.
        m_from = qMax(m_from, held.size() - (Error.size() - 1));
        return std::nullopt;
    }
}

QByteArray ReplyDrain::finish(QByteArrayView rest)
{
    const QByteArray kept = rest.toByteArray();
    m_replies = 0;
    m_ownEchoes.clear();
    m_held.clear();
    m_from = 0;
    return kept;
}
