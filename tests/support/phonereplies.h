#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

// Requests as the program writes them, and replies as a phone with command echo
// on sends them.

// The application folder's path as commands carry it.
inline const QByteArray FolderHex = "2F7470612F7072657365742F73797374656D2F6F61662F";
// The listing request for the application folder: what the program writes first
// on connecting, and what the phone echoes at the start of its answer.
inline const QByteArray ListingLine("AT*ELIF=\"" + FolderHex + "\"\r");

// A listing of names, each as an entry line with its hex name field, then OK.
inline QByteArray ListingReply(const QByteArrayList &names, const QByteArray &echo = ListingLine)
{
    QByteArray reply = echo;
    for (const QByteArray &name : names)
        reply += "\r\n*ELIF: \"" + name.toHex().toUpper() + "\"," + QByteArray::number(name.size()) + ",0";
    return reply + "\r\n\r\nOK\r\n";
}

// The answer to a read request: the data in hex, split over marked lines of
// lineWidth digits (0: one line), then the returned count and OK.
inline QByteArray ReadReply(const QByteArray &echo, const QByteArray &data, qint64 count,
                            qsizetype lineWidth = 0)
{
    const QByteArray hex = data.toHex().toUpper();
    QByteArrayList lines;
    const qsizetype width = lineWidth > 0 ? lineWidth : qMax<qsizetype>(1, hex.size());
    for (qsizetype at = 0; at < hex.size(); at += width)
        lines.append(hex.mid(at, width));
    return echo + "\r\n*ERIF" + lines.join("\r\n*ERIF") + ":0," + QByteArray::number(count)
           + "\r\n\r\nOK\r\n";
}

// The read request for the piece of the file at offset.
inline QByteArray readRequest(const QString &name, qint64 offset)
{
    return "AT*ERIF=\"" + FolderHex + name.toUtf8().toHex().toUpper() + "\"," + QByteArray::number(offset) + ",65535\r";
}

// The read requests a copy of the file makes from offset from: one per piece, at
// k * 65535, and one past the end for an exact multiple.
inline QByteArray readRequests(const QString &name, qint64 size, qint64 from = 0)
{
    QByteArray requests;
    for (qint64 offset = from; offset <= size; offset += 65535)
        requests += readRequest(name, offset);
    return requests;
}
