#include "phone_engine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr char xon = 0x11;
constexpr char xoff = 0x13;
constexpr std::int64_t nanosPerMilli = 1'000'000;
// How long a hang-up waits for the client to read the last reply before the line drops.
constexpr std::int64_t hangupDrainNanos = 3000 * nanosPerMilli;
constexpr std::int64_t hangupCheckNanos = 10 * nanosPerMilli;

std::int64_t monotonicNanos()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

timespec durationFromNanos(std::int64_t nanos)
{
    nanos = std::max<std::int64_t>(nanos, 0);
    return timespec { static_cast<time_t>(nanos / 1'000'000'000), static_cast<long>(nanos % 1'000'000'000) };
}

void writeAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

ReplyShaper::Settings shaperSettings(const Options &options)
{
    ReplyShaper::Settings settings;
    settings.split = options.split;
    settings.maxPiece = options.maxPiece;
    settings.pauseNanos = static_cast<std::int64_t>(options.pauseMicros) * 1000;
    settings.rate = options.rate;
    settings.seed = options.seed;
    return settings;
}

AtInterpreter::Settings interpreterSettings(const Options &options)
{
    AtInterpreter::Settings settings;
    settings.echo = options.echo;
    settings.chunkWidth = options.chunkWidth;
    settings.failRead = options.failRead;
    settings.corruptRead = options.corruptRead;
    settings.badCountRead = options.badCountRead;
    settings.shortDataRead = options.shortDataRead;
    settings.seed = options.seed;
    settings.notAPhone = options.notAPhone;
    return settings;
}

} // namespace

PhoneEngine::PhoneEngine(const Options &options, PtyCable &cable, int logFd)
    : m_options(options)
    , m_cable(cable)
    , m_logFd(logFd)
    , m_folder(options.folder)
    , m_interpreter(m_folder, interpreterSettings(options))
    , m_shaper(shaperSettings(options))
{
    reconnect();

    // Replies are enqueued only after a whole received chunk is interpreted,
    // so the queue's current size is where that chunk's output begins.
    m_interpreter.onFileReadAnswered = [this](std::size_t replyStart, std::size_t replyEnd) {
        ++m_fileReadsAnswered;
        if (m_options.hangupAfter != 0 && m_fileReadsAnswered == m_options.hangupAfter)
            m_hangupAtByte = m_shaper.bytesQueued() + (m_options.hangupMidway ? (replyStart + replyEnd) / 2 : replyEnd);
    };
}

void PhoneEngine::reconnect()
{
    m_sessionWatch = std::make_unique<SessionWatch>(m_cable.slavePath());
    if (m_sessionWatch->fd() < 0)
        std::fprintf(stderr, "morvex-phone: cannot watch %s for sessions; "
                             "a new client may receive what a closed one left unread\n",
                     m_cable.slavePath().c_str());
    m_shaper.clear();
    m_hangupAtByte.reset();
    m_outputBlocked = false;
    m_hungUp = false;
    m_interpreter.startSession();
}

void PhoneEngine::run(const volatile std::sig_atomic_t &stopRequested, const sigset_t &waitMask)
{
    std::int64_t hangupDeadline = 0;
    int quietHangupChecks = 0;
    while (!stopRequested) {
        const std::int64_t now = monotonicNanos();
        const std::int64_t wakeAt = writeOutput(now);

        if (hangupDue()) {
            // Let the client read the last reply, as a phone would have sent it
            // before the cable came out, then drop the line. The unread count
            // misses bytes the kernel has not yet moved into the read queue,
            // hence two quiet checks in a row.
            if (hangupDeadline == 0)
                hangupDeadline = now + hangupDrainNanos;
            quietHangupChecks = m_cable.unreadByClient() == 0 ? quietHangupChecks + 1 : 0;
            if (quietHangupChecks >= 2 || now >= hangupDeadline) {
                if (onHangup)
                    onHangup();
                m_cable.close();
                m_hungUp = true;
                return;
            }
            const timespec pause = durationFromNanos(hangupCheckNanos);
            ppoll(nullptr, 0, &pause, &waitMask);
            continue;
        }

        pollfd fds[2] = {
            { m_cable.masterFd(), static_cast<short>(POLLIN | (m_outputBlocked ? POLLOUT : 0)), 0 },
            { m_sessionWatch->fd(), POLLIN, 0 },
        };
        const timespec timeout = durationFromNanos(wakeAt - now);
        const int ready = ppoll(fds, m_sessionWatch->fd() >= 0 ? 2 : 1,
                                wakeAt != 0 ? &timeout : nullptr, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            std::perror("morvex-phone: ppoll");
            return;
        }

        if (fds[1].revents & POLLIN) {
            const SessionWatch::Events events = m_sessionWatch->readEvents();
            if (events.closed) {
                // What the client did not read is lost, as on a real line.
                // Done at close rather than at the next open, where the
                // flush would race with the new client's own reads.
                m_shaper.clear();
                m_cable.resetAfterClient();
                m_outputBlocked = false;
            }
            if (events.opened)
                m_interpreter.startSession();
        }
        if (fds[0].revents & POLLOUT)
            m_outputBlocked = false;
        if (fds[0].revents & POLLIN)
            readInput();
    }
}

void PhoneEngine::readInput()
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(m_cable.masterFd(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        if (m_logFd >= 0)
            writeAll(m_logFd, buffer, static_cast<std::size_t>(got));

        // XON/XOFF only steer our output; they never reach the interpreter.
        std::string commandBytes;
        commandBytes.reserve(static_cast<std::size_t>(got));
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == xoff)
                m_shaper.setPaused(true);
            else if (buffer[i] == xon)
                m_shaper.setPaused(false);
            else
                commandBytes += buffer[i];
        }
        std::string out;
        m_interpreter.receive(commandBytes, out);
        m_shaper.enqueue(out);
    }
}

std::int64_t PhoneEngine::writeOutput(std::int64_t now)
{
    while (!m_outputBlocked) {
        std::int64_t wakeAt = 0;
        std::size_t count = m_shaper.allowance(now, wakeAt);
        if (m_hangupAtByte)
            count = static_cast<std::size_t>(std::min<std::uint64_t>(count, *m_hangupAtByte - m_shaper.bytesSent()));
        if (count == 0)
            return wakeAt;
        const ssize_t written = write(m_cable.masterFd(), m_shaper.pending(), count);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (errno != EAGAIN)
                std::perror("morvex-phone: write");
            m_outputBlocked = true; // wait for POLLOUT
            break;
        }
        m_shaper.consumed(static_cast<std::size_t>(written), now);
    }
    return 0;
}

bool PhoneEngine::hangupDue() const
{
    return m_hangupAtByte && m_shaper.bytesSent() >= *m_hangupAtByte;
}
