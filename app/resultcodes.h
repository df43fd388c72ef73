#pragma once

#include <QByteArrayView>

// A command's echo at the start of a line; neither hex data nor a listing's
// entries ever start a line with "AT".
inline constexpr QByteArrayView LineStartEcho = "\nAT";

// Where the final result codes of a reply stand, each -1 when absent.
struct ResultCodes
{
    qsizetype ok = -1;
    qsizetype error = -1;

    // Just behind the later of the two, -1 when there is none.
    qsizetype end() const;
    bool rejected() const { return error > ok; }
};

// The last "OK" and "ERROR" that the newest piece, which starts at pieceStart,
// takes part in. A final result code stands on a line of its own: "OK", "ERROR",
// or "+CME ERROR: n" and "+CMS ERROR: n"; the same letters inside an echo or a
// line of data end nothing. A piece may end right after the code, before its line
// end. Only where the new piece can take part is searched, so a code split across
// two pieces is found once, when its last letter arrives.
ResultCodes FindResultCodes(QByteArrayView gathered, qsizetype pieceStart);

// Where the next reply begins when the newest piece ends one reply and begins
// another, as it does when the phone was asked again before it answered: at the
// first echo that starts a line in the piece (or is cut after its first letter at
// its end), if a result code stands before it; -1 otherwise.
qsizetype NextReplyAt(QByteArrayView gathered, qsizetype pieceStart);
