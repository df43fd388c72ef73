#pragma once

#include "failure.h"

#include <QSerialPort>
#include <QStringList>

// What is known about a port that would not open, for telling the user what to do.
struct OpenFailureFacts
{
    QSerialPort::SerialPortError error = QSerialPort::UnknownError;
    int port = 0;                 // the COM port number, 0 when a device path was given
    QString device;
    QString reason;               // the system's words
    bool accessDenied = false;    // the user may not read and write the device node
    QString owningGroup;          // the group of the device node, if known
    QStringList serialDevices;    // the serial devices that do exist
};

// Looks at the device node and the serial devices of this machine.
OpenFailureFacts GatherOpenFailureFacts(QSerialPort::SerialPortError error, int port,
                                        const QString &device, const QString &reason);

// A short description naming the device, the cause and the remedy: a missing
// device, a device the user may not open, or one another program holds.
Failure DescribeOpenFailure(const OpenFailureFacts &facts);
