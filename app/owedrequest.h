#pragma once

#include "serialcontrol.h"
#include "charset/ansicodepage.h"

#include <utility>

// Writes a copy's requests to the port and remembers the one the phone still owes
// a reply to, as the phone will echo it: a cancel drops what still comes for it.
class OwedRequest : public CommandLineWriter
{
public:
    explicit OwedRequest(SerialControl &port)
        : m_port(port)
    {
    }

    [[nodiscard]] MaybeFailure writeCommandLine(const QString &command) override
    {
        m_owed = AnsiCodePage::fromText(command);
        MaybeFailure failure = m_port.writeCommandLine(command);
        if (failure)
            m_owed.clear();
        return failure;
    }
    bool lostUnder(const Failure &failure) const override { return m_port.lostUnder(failure); }

    // A result code answered it, or nothing of it will come.
    void answered() { m_owed.clear(); }
    // The request still owed a reply, empty when none is; it is then answered.
    QByteArray take() { return std::exchange(m_owed, {}); }

private:
    SerialControl &m_port;
    QByteArray m_owed;
};
