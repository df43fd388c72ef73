#pragma once

#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// Each target checks one input here, handed over by libFuzzer through fuzzentry.cpp
// or by the seed replay.
void FuzzOneInput(QByteArrayView input);

// A failed property is a finding: say which one and abort, so libFuzzer keeps the
// input that broke it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition);  \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Two hex digits, in either case, for every byte: what the phone sends.
inline bool IsWholeHex(QByteArrayView text)
{
    const auto isDigit = [](char c) { return QByteArrayView("0123456789ABCDEFabcdef").contains(c); };
    return text.size() % 2 == 0 && std::all_of(text.begin(), text.end(), isDigit);
}

// A name the phone sent is listed when it has a dot and is neither "." nor "..",
// and reads as its UTF-8 text up to the first NUL.
inline bool IsListedName(const QByteArray &name) { return name.contains('.') && name != "." && name != ".."; }
inline QString ReadableName(const QByteArray &name) { return QString::fromUtf8(name.split('\0').constFirst()); }
