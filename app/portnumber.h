#pragma once

#include "failure.h"

#include <QString>
#include <QStringList>

// The port field's text as a 16-bit signed whole number, also when written as a
// port name (COM7); surrounding blanks are allowed, anything else fails (type
// mismatch, or overflow when out of range).
[[nodiscard]] MaybeFailure PortNumberFromText(const QString &text, qint16 &port);

// True when the port field names a device: by its path (/dev/ttyACM0), or by a
// name the port field's list offers, such as a virtual port that is not a COM<n>.
bool IsDeviceName(const QString &text, const QStringList &listedDevices);
