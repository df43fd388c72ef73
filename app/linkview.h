#pragma once

#include "phonefs/copyview.h"

#include <QByteArray>
#include <QString>

// What the phone link shows on the windows, a copy's part included. The windows
// implement it; the command-line tool and tests implement it without widgets.
class LinkView : public CopyView
{
public:

    // The two parallel name lists.
    virtual void clearEntries() = 0;
    virtual void addEntry(const QByteArray &rawName, const QString &readableName) = 0;
    // The debug window's status label: the line that ended a listing, as byte text.
    virtual void setListingStatus(const QByteArray &line) = 0;
    // The debug window's command line.
    virtual void setCommandLine(const QString &command) = 0;

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
};
