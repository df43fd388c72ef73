#include "replydrain.h"

namespace {

constexpr QByteArrayView Ok = "OK";
constexpr QByteArrayView Error = "ERROR";
constexpr QByteArrayView Echo = "AT";
constexpr QByteArrayView ResultFraming = "\r\n";

} // namespace

void ReplyDrain::start(const QByteArray &ownEcho)
{
    m_active = true;
    m_ownEcho = ownEcho;
    m_held.clear();
    m_from = 0;
    m_owedFraming.clear();
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
            if (m_ownEcho.isEmpty() || !(from.startsWith(m_ownEcho) || QByteArrayView(m_ownEcho).startsWith(from)))
                return finish(from);
            if (from.size() < m_ownEcho.size()) {
                m_from = echo; // the echo is not all there yet
                return std::nullopt;
            }
            m_from = echo + m_ownEcho.size();
            m_ownEcho.clear();
            continue;
        }
        if (result >= 0) {
            QByteArrayView after = held.sliced(result + (result == ok ? Ok.size() : Error.size()));
            qsizetype framed = 0;
            while (framed < after.size() && framed < ResultFraming.size() && after[framed] == ResultFraming[framed])
                ++framed;
            const QByteArray owed = framed == after.size() ? ResultFraming.sliced(framed).toByteArray() : QByteArray();
            QByteArray rest = finish(after.sliced(framed));
            m_owedFraming = owed;
            return rest;
        }
        // A keyword may be cut at the end; look at that end again with the next text.
        m_from = qMax(m_from, held.size() - (Error.size() - 1));
        return std::nullopt;
    }
}

QByteArray ReplyDrain::finish(QByteArrayView rest)
{
    const QByteArray kept = rest.toByteArray();
    m_active = false;
    m_ownEcho.clear();
    m_held.clear();
    m_from = 0;
    m_owedFraming.clear();
    return kept;
}
