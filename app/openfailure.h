#pragma once

#include "failure.h"

#include <QList>
#include <QSerialPort>
#include <QStringList>

// The device node and the user, for telling why the user may not open it.
struct DeviceAccess
{
    bool known = false;        // the node's owner, group and mode could be read
    uint ownerId = 0;
    QString ownerName;         // empty when the system has no name for the id
    uint groupId = 0;
    QString groupName;
    uint mode = 0;             // the permission bits, such as 0660
    uint userId = 0;           // who runs the program
    QList<uint> sessionGroups; // the groups the program runs with
    QList<uint> memberGroups;  // the groups the system lists the user in now
};

// What is known about a port that would not open, for telling the user what to do.
struct OpenFailureFacts
{
    QSerialPort::SerialPortError error = QSerialPort::UnknownError;
    int port = 0;                 // the COM port number, 0 when a device path was given
    QString device;
    QString reason;               // the system's words
    bool accessDenied = false;    // the user may not read and write the device node
    DeviceAccess access;          // looked at when access is denied
    QStringList serialDevices;    // the serial devices that do exist
};

// Looks at the device node and the serial devices of this machine.
OpenFailureFacts GatherOpenFailureFacts(QSerialPort::SerialPortError error, int port,
                                        const QString &device, const QString &reason);

// A short description naming the device, the cause and the remedy: a missing
// device, a device the user may not open (with what was checked, and only a
// remedy that would let the user in), or one another program holds.
Failure DescribeOpenFailure(const OpenFailureFacts &facts);
