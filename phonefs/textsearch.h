#pragma once

#include <QByteArrayView>

// Searches for protocol text (CR LF, "*ERIF", "OK", "ERROR") in replies made mostly
// of hex data. They look for a byte of the wanted text that hex digits never are
// with memchr, which passes over the data many times faster than a plain search.

// The first occurrence of needle at or after from, or -1. The needle's first byte
// is the one looked for, so it should not be a hex digit.
qsizetype FindProtocolText(QByteArrayView text, QByteArrayView needle, qsizetype from = 0);

// The last occurrence of needle, or -1. The needle's last byte is the one looked
// for, so it should not be a hex digit.
qsizetype FindLastProtocolText(QByteArrayView text, QByteArrayView needle);
