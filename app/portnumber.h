#pragma once

#include "failure.h"

#include <QString>

// The port field's text as a 16-bit signed whole number, also when written as a
// port name (COM7); surrounding blanks are allowed, anything else fails (type
// mismatch, or overflow when out of range).
[[nodiscard]] MaybeFailure PortNumberFromText(const QString &text, qint16 &port);

// True when the port field names a device by its path (/dev/ttyACM0).
bool IsDevicePath(const QString &text);
