// ParseListing on any bytes, against a plain reading of its contract: line 1 on,
// lines whose first quote is the 8th character carry a hex name up to the next
// quote; the first other line is the status line; a bad name or running out of
// lines inside the entries stops the scan with no status line. The fast searches
// for protocol text it relies on must agree with Qt's plain ones.
#include "fuzzcheck.h"
#include "phonefs/listing.h"
#include "phonefs/routes.h"
#include "phonefs/textsearch.h"

#include <QList>

#include <utility>

namespace {

QList<QByteArrayView> crlfLines(QByteArrayView text)
{
    QList<QByteArrayView> lines;
    qsizetype from = 0;
    for (qsizetype at; (at = text.indexOf("\r\n", from)) >= 0; from = at + 2)
        lines.append(text.sliced(from, at - from));
    lines.append(text.sliced(from));
    return lines;
}

// The names and the status line that the plain reading finds.
std::pair<QList<QByteArray>, std::optional<QByteArray>> expectedListing(QByteArrayView reply)
{
    QList<QByteArray> names;
    const QList<QByteArrayView> lines = crlfLines(reply);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArrayView line = lines.at(i);
        if (line.indexOf('"') != 7)
            return {names, line.toByteArray()};
        QByteArrayView field = line.sliced(8);
        if (const qsizetype quote = field.indexOf('"'); quote >= 0)
            field = field.first(quote);
        if (!IsWholeHex(field))
            break;
        const QByteArray name = QByteArray::fromHex(field.toByteArray());
        if (IsListedName(name))
            names.append(name);
    }
    return {names, std::nullopt};
}

void checkTextSearch(QByteArrayView text)
{
    for (const QByteArrayView needle : {QByteArrayView("\r\n"), QByteArrayView("OK"),
                                        QByteArrayView("ERROR"), QByteArrayView("\r\n*ERIF")}) {
        FUZZ_CHECK(FindLastProtocolText(text, needle) == text.lastIndexOf(needle));
        // Every start is cheap for short replies; long ones get a spread of them.
        const qsizetype step = qMax<qsizetype>(1, text.size() / 64);
        for (qsizetype from = 0; from <= text.size(); from += step)
            FUZZ_CHECK(FindProtocolText(text, needle, from) == text.indexOf(needle, from));
        FUZZ_CHECK(FindProtocolText(text, needle, text.size()) == -1);
    }
}

} // namespace

void FuzzOneInput(QByteArrayView reply)
{
    checkTextSearch(reply);
    // An empty reply may come as a view of nothing at all.
    checkTextSearch(QByteArrayView());

    const Listing listing = ParseListing(reply);
    const auto [expectedNames, expectedStatusLine] = expectedListing(reply);

    FUZZ_CHECK(listing.names.size() == expectedNames.size());
    for (qsizetype i = 0; i < listing.names.size(); ++i) {
        const ListedName &name = listing.names.at(i);
        FUZZ_CHECK(name.rawName == expectedNames.at(i));
        FUZZ_CHECK(!IsSkippedName(name.rawName) && name.rawName != ".");
        FUZZ_CHECK(name.readableName == ReadableName(name.rawName));
    }
    FUZZ_CHECK(listing.statusLine == expectedStatusLine);
    FUZZ_CHECK(!listing.statusLine || !listing.statusLine->contains("\r\n"));
    FUZZ_CHECK(!listing.statusLine || crlfLines(reply).contains(QByteArrayView(*listing.statusLine)));
}
