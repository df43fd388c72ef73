#pragma once

#include "app/failure.h"

#include <QString>

// Where the phone's commands are written: the serial control, or a test's fake.
class CommandLineWriter
{
public:
    virtual ~CommandLineWriter() = default;

    // Writes the command as one line ended by a carriage return alone.
    [[nodiscard]] virtual MaybeFailure writeCommandLine(const QString &command) = 0;
    // True when a write failed because the device vanished under it: its
    // lost-device event follows and tells the user.
    virtual bool lostUnder(const Failure &failure) const = 0;
};
