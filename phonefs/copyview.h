#pragma once

#include "archivecheck.h"

#include <QString>

// What a copy shows while it runs. The windows and the command-line tool
// implement it, as part of everything the phone link shows.
class CopyView
{
public:
    virtual ~CopyView() = default;

    // While a file is read the main window takes no input and shows the copying
    // notice with the bytes received so far.
    virtual void setDownloadRunning(bool running) = 0;
    virtual void showDownloadProgress(qint64 bytesReceived) = 0;
    // The file being copied when several are ("2 из 5: Игра.jar"), empty for one;
    // its count starts from nothing.
    virtual void showDownloadFile(const QString &title) = 0;
    // Once the file is in, what is done with it instead of the count ("проверка…").
    // The check runs at once, so the line must show before it starts.
    virtual void showCopyStage(const QString &stage) = 0;
    // The last check of a file, made before it is saved. The window says nothing
    // of it: a damaged file is asked about, or noted in a run's summary.
    virtual void reportCheck(const QString &readableName, const ArchiveCheck &check) = 0;
    // The device went and the copy waits for it to come back, or no longer waits.
    virtual void waitForPhone(bool waiting) { Q_UNUSED(waiting); }
    // A line about the single file being copied, such as that it changed on the
    // phone and is read anew.
    virtual void noteCopy(const QString &line) = 0;
    // A copy, or a run of copies, is over; saved when every file it was to copy
    // was written. What a person reads off the window but a script must be told:
    // the window does nothing here.
    virtual void copyEnded(bool saved) { Q_UNUSED(saved); }
};
