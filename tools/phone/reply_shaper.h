// Holds the output waiting for the line and decides how much of it may go
// out now: whole, in random pieces with pauses, at a limited byte rate, or
// not at all while the client has sent XOFF.
#pragma once

#include "options.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

class ReplyShaper {
public:
    struct Settings {
        SplitMode split = SplitMode::None;
        unsigned maxPiece = 64;
        std::int64_t pauseNanos = 0;
        std::uint64_t rate = 0; // bytes per second, 0 = unlimited
        std::uint64_t seed = 1;
    };

    explicit ReplyShaper(Settings settings);

    void enqueue(std::string_view bytes);
    // Drops pending output and a pending XOFF: a new session starts on a clear line.
    void clear();
    void setPaused(bool paused) { m_paused = paused; }

    bool hasPending() const { return m_head < m_buffer.size(); }
    std::uint64_t bytesSent() const { return m_sent; }
    std::uint64_t bytesQueued() const { return m_sent + (m_buffer.size() - m_head); }

    // Bytes that may be written at `now`. When that is 0 although output is
    // pending and not paused, `wakeAt` tells when to ask again.
    std::size_t allowance(std::int64_t now, std::int64_t &wakeAt);
    const char *pending() const { return m_buffer.data() + m_head; }
    void consumed(std::size_t count, std::int64_t now);

private:
    std::size_t nextPieceSize();

    const Settings m_settings;
    std::mt19937_64 m_random;
    std::string m_buffer;
    std::size_t m_head = 0;
    std::uint64_t m_sent = 0;
    bool m_paused = false;
    std::size_t m_pieceLeft = 0;
    std::int64_t m_nextPieceAt = 0;
    std::int64_t m_rateFreeAt = 0;
    // Output has been waiting for the rate's next turn.
    bool m_rateBacklog = false;
};
