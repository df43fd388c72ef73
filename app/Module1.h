#pragma once

#include <QByteArray>
#include <QString>

// The shared state of the phone link: one instance for the whole run, empty at
// start. Connect and Disconnect reset none of it.
struct Module1
{
    // Every piece received since the last reply was completed.
    QByteArray replyBuffer;
    // The same pieces, kept until the handling of the completing piece ends; its
    // beginning tells a file-read reply by the phone's echo.
    QByteArray echoBuffer;
    // The file-read exchange not yet taken apart.
    QByteArray chunkReply;
    // The bytes of the file being downloaded, in order.
    QByteArray fileData;
    // The number of the next piece of the file to ask for, from 0.
    qint64 chunkIndex = 0;
    // The phone folder whose listing is shown.
    QString folderPath;
    // The path chosen in the Save dialog.
    QString savePath;
};
