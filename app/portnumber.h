#pragma once

#include "failure.h"

#include <QString>

// The port field's text as a 16-bit signed whole number; surrounding blanks are
// allowed, anything else fails (type mismatch, or overflow when out of range).
[[nodiscard]] MaybeFailure PortNumberFromText(const QString &text, qint16 &port);
