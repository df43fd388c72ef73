#pragma once

#include <QList>
#include <QStringList>

// The port numbers the port field offers, 1 to this.
constexpr int NumberedPortCount = 20;

// The serial devices present now, as the user names them in the port field: the
// system path on Linux (/dev/ttyACM0), the port name on Windows (COM7).
QStringList SerialDeviceNames();

// A device a search for the phone tries.
struct SearchCandidate
{
    // As the port field shows it: its COM number where one names it, else the device.
    QString name;
    // What is opened.
    QString device;
    // A Bluetooth serial port, which can take seconds to open.
    bool bluetooth = false;
};

// Every serial device present but those this program holds open: the devices the
// port field lists after the numbers and, on Linux, those a MORVEX_COM<n> names.
// Bluetooth ports come last.
QList<SearchCandidate> SearchCandidates();
