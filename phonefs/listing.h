#pragma once

#include "app/failure.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

struct Module1;
class CommandLineWriter;

// The one folder whose applications are listed.
inline const QString ApplicationFolder = QStringLiteral("/tpa/preset/system/oaf/");

struct ListedName
{
    QByteArray rawName;   // as the phone stores it
    QString readableName; // the raw name read as UTF-8
};

struct Listing
{
    QList<ListedName> names;
    // The line that ended the scan; nullopt when the parse stopped on a failure.
    std::optional<QByteArray> statusLine;
};

// AT*ELIF="<hex of the folder>"
QString ListingCommand(const QString &folder);

// Sets the folder and writes the listing request for it.
[[nodiscard]] MaybeFailure RequestListing(Module1 &link, CommandLineWriter &port);

// Reads the entry lines of a reply: from line 1 on, every line whose first double
// quote is its 8th character carries a hex name; the first other line ends them.
// Names without a dot, "." and ".." are left out. A name that is not hex text, or a
// reply that ends inside the entries, stops the parse; the names before it stay.
Listing ParseListing(QByteArrayView reply);
