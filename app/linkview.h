#pragma once

#include "phonefs/archivecheck.h"

#include <QByteArray>
#include <QString>

// What the phone link shows on the windows. The windows implement it; the
// command-line tool and tests implement it without widgets.
class LinkView
{
public:
    virtual ~LinkView() = default;

    // The two parallel name lists.
    virtual void clearEntries() = 0;
    virtual void addEntry(const QByteArray &rawName, const QString &readableName) = 0;
    // The debug window's status label: the line that ended a listing, as byte text.
    virtual void setListingStatus(const QByteArray &line) = 0;
    // The debug window's command line.
    virtual void setCommandLine(const QString &command) = 0;

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

    // The main window's status field: the length of the last piece.
    virtual void showPieceLength(qsizetype length) = 0;
    // The debug window's traffic log.
    virtual void appendTraffic(const QByteArray &piece) = 0;
    // The connection lamp.
    virtual void setLamp(bool linkUp) = 0;

    // What a person reads off the window but a script must be told. The window
    // does nothing here.
    //
    // A reply is complete: its text from the echo (or its first byte, with echo
    // off) through the result code, and whether that code was ERROR.
    virtual void replyCompleted(const QByteArray &reply, bool rejected)
    {
        Q_UNUSED(reply);
        Q_UNUSED(rejected);
    }
    // A copy, or a run of copies, is over; saved when every file it was to copy
    // was written.
    virtual void copyEnded(bool saved) { Q_UNUSED(saved); }
};
