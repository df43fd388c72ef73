// Runs the phone: moves bytes between the pseudo-terminal, the AT
// interpreter and the reply shaper until stopped or hung up.
#pragma once

#include "at_interpreter.h"
#include "options.h"
#include "phone_folder.h"
#include "pty_cable.h"
#include "reply_shaper.h"
#include "session_watch.h"

#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class PhoneEngine {
public:
    PhoneEngine(const Options &options, PtyCable &cable, int logFd);

    // Returns when `stopRequested` becomes non-zero (checked whenever a
    // blocked signal is let in) or after the hang-up option fired.
    void run(const volatile std::sig_atomic_t &stopRequested, const sigset_t &waitMask);
    // The hang-up option fired and the line is closed.
    bool hungUp() const { return m_hungUp; }
    // The cable is plugged in again, on the cable's new line: a fresh session
    // that remembers how many reads it answered, so the hang-up fires once.
    void reconnect();
    // Called just before the line drops.
    std::function<void()> onHangup;

private:
    void readInput();
    // Writes what the shaper allows; returns when to try again (0: on POLLOUT or new input).
    std::int64_t writeOutput(std::int64_t now);
    bool hangupDue() const;

    const Options &m_options;
    PtyCable &m_cable;
    const int m_logFd;
    PhoneFolder m_folder;
    AtInterpreter m_interpreter;
    ReplyShaper m_shaper;
    std::unique_ptr<SessionWatch> m_sessionWatch;
    std::uint64_t m_fileReadsAnswered = 0;
    std::optional<std::uint64_t> m_hangupAtByte;
    bool m_outputBlocked = false;
    bool m_hungUp = false;
};
