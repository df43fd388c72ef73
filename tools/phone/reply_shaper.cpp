#include "reply_shaper.h"

#include <algorithm>

namespace {

constexpr std::int64_t nanosPerSecond = 1'000'000'000;

// Under a rate limit, output goes in bursts of this many milliseconds' worth,
// which keeps the number of wake-ups small without losing the line's feel.
constexpr std::uint64_t burstMillis = 10;
constexpr std::int64_t burstNanos = burstMillis * 1'000'000;

} // namespace

ReplyShaper::ReplyShaper(Settings settings)
    : m_settings(settings)
    , m_random(settings.seed)
{
}

void ReplyShaper::enqueue(std::string_view bytes)
{
    m_buffer.append(bytes);
}

void ReplyShaper::clear()
{
    m_sent += m_buffer.size() - m_head;
    m_buffer.clear();
    m_head = 0;
    m_pieceLeft = 0;
    m_paused = false;
    m_rateBacklog = false;
}

std::size_t ReplyShaper::allowance(std::int64_t now, std::int64_t &wakeAt)
{
    if (m_paused || !hasPending())
        return 0;
    std::size_t count = m_buffer.size() - m_head;

    if (m_settings.split != SplitMode::None) {
        if (m_pieceLeft == 0) {
            if (now < m_nextPieceAt) {
                wakeAt = m_nextPieceAt;
                return 0;
            }
            m_pieceLeft = nextPieceSize();
        }
        count = std::min(count, m_pieceLeft);
    }

    if (m_settings.rate != 0) {
        if (now < m_rateFreeAt) {
            m_rateBacklog = true;
            wakeAt = m_rateFreeAt;
            return 0;
        }
        const std::uint64_t burst = std::max<std::uint64_t>(1, m_settings.rate * burstMillis / 1000);
        count = static_cast<std::size_t>(std::min<std::uint64_t>(count, burst));
    }
    return count;
}

void ReplyShaper::consumed(std::size_t count, std::int64_t now)
{
    m_head += count;
    m_sent += count;
    if (m_head == m_buffer.size()) {
        m_buffer.clear();
        m_head = 0;
    } else if (m_head > (1u << 20) && m_head > m_buffer.size() / 2) {
        m_buffer.erase(0, m_head);
        m_head = 0;
    }

    if (m_settings.split != SplitMode::None && m_pieceLeft != 0) {
        m_pieceLeft -= std::min(m_pieceLeft, count);
        if (m_pieceLeft == 0)
            m_nextPieceAt = now + m_settings.pauseNanos;
    }
    if (m_settings.rate != 0) {
        const auto cost = static_cast<std::int64_t>(count * nanosPerSecond / m_settings.rate);
        // Waking late for a turn must not slow the line: output that waited for it
        // goes on from where the last turn ended, making up as much as one burst,
        // so the rate holds on a busy machine too. After an idle line it starts now.
        m_rateFreeAt = std::max(m_rateFreeAt, now - (m_rateBacklog ? burstNanos : 0)) + cost;
        m_rateBacklog = hasPending();
    }
}

std::size_t ReplyShaper::nextPieceSize()
{
    const std::size_t available = m_buffer.size() - m_head;
    std::size_t size = std::min<std::size_t>(available, 1 + m_random() % m_settings.maxPiece);
    if (m_settings.split != SplitMode::Safe)
        return size;

    // Move a cut that would fall inside a result word to just after the word.
    const std::string_view queued(m_buffer.data() + m_head, available);
    for (const std::string_view word : {std::string_view("OK"), std::string_view("ERROR")}) {
        for (std::size_t start = size >= word.size() ? size - word.size() + 1 : 0; start < size; ++start) {
            if (queued.substr(start, word.size()) == word) {
                size = std::min(available, start + word.size());
                break;
            }
        }
    }
    return size;
}
