#pragma once

#include "phonefs/download.h"

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
    // The phone folder whose listing is shown.
    QString folderPath;
    // The path chosen in the Save dialog.
    QString savePath;
    // The file being copied: its chunkIndex, chunkReply and fileData.
    Download download;
};
