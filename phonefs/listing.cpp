#include "listing.h"

#include "app/Module1.h"
#include "commandlinewriter.h"
#include "charset/basInCodePage.h"
#include "routes.h"
#include "textsearch.h"

namespace {

constexpr QByteArrayView LineEnd = "\r\n";
constexpr qsizetype EntryQuoteIndex = 7;

QByteArrayView nameField(QByteArrayView line)
{
    const QByteArrayView afterQuote = line.sliced(EntryQuoteIndex + 1);
    const qsizetype closing = afterQuote.indexOf('"');
    return closing < 0 ? afterQuote : afterQuote.first(closing);
}

} // namespace

QString ListingCommand(const QString &folder)
{
    return QStringLiteral("AT*ELIF=\"%1\"").arg(QString::fromLatin1(EncodeHex(folder)));
}

MaybeFailure RequestListing(Module1 &link, CommandLineWriter &port)
{
    link.folderPath = ApplicationFolder;
    return port.writeCommandLine(ListingCommand(link.folderPath));
}

Listing ParseListing(QByteArrayView reply)
{
    Listing listing;
    qsizetype lineStart = FindProtocolText(reply, LineEnd);
    if (lineStart < 0)
        return listing; // no line 1: the scan runs past the end
    lineStart += LineEnd.size();

    for (;;) {
        const qsizetype lineEnd = FindProtocolText(reply, LineEnd, lineStart);
        const QByteArrayView line = lineEnd < 0 ? reply.sliced(lineStart)
                                                : reply.sliced(lineStart, lineEnd - lineStart);
        if (line.indexOf('"') != EntryQuoteIndex) {
            listing.statusLine = line.toByteArray();
            return listing;
        }
        const std::optional<QByteArray> rawName = DecodeHex(nameField(line));
        if (!rawName)
            return listing;
        // The phone lists the folder itself as "."; it is no application to copy.
        if (!IsSkippedName(*rawName) && *rawName != ".")
            listing.names.append({*rawName, Utf8ToText(*rawName)});
        if (lineEnd < 0)
            return listing; // every line was an entry line: the scan runs past the end
        lineStart = lineEnd + LineEnd.size();
    }
}
