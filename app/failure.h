#pragma once

#include <QString>
#include <optional>

// A failure the program reports to the user: a stable number and a description.
// Shown as "<code> <description>" by Connect and refresh, and as the description
// alone by the debug window's Send.
//
// The numbers are part of what users see and quote, so they never change.
// Failures of the serial layer carry Qt 6's QSerialPort::SerialPortError value:
//
//    1  the serial device does not exist            (DeviceNotFoundError)
//    2  access to the serial device is denied       (PermissionError)
//    3  the serial device is busy or already open   (OpenError)
//    4  writing to the serial device failed         (WriteError)
//    5  reading failed: the phone's connection is lost (ReadError)
//    6  the serial device is gone                   (ResourceError)
//    7  the device refused a line setting           (UnsupportedOperationError)
//    8  any other serial-layer failure              (UnknownError)
//    9  the serial layer timed out                  (TimeoutError)
//   10  the serial layer found the port not open    (NotOpenError)
//
// The program's own:
//
//   13  the port is not open (checked before anything is written)
//  101  type mismatch: a text is not a number, or hex text holds a non-digit
//  102  overflow: a number is out of range
//  103  invalid port number (ports count from 1)
//  104  invalid settings text (speed,parity,data bits,stop bits)
//  105  invalid argument: a code-page conversion failed
//  106  a copy runs: a command typed now would be taken for its reply
struct Failure
{
    int code = 0;
    QString description;

    QString message() const { return QString::number(code) + QLatin1Char(' ') + description; }
};

using MaybeFailure = std::optional<Failure>;

namespace FailureCode {
constexpr int DeviceNotFound = 1;
constexpr int PermissionDenied = 2;
constexpr int DeviceBusy = 3;
constexpr int SettingRefused = 7;
constexpr int SerialOther = 8;
constexpr int PortNotOpen = 13;
constexpr int TypeMismatch = 101;
constexpr int Overflow = 102;
constexpr int InvalidPortNumber = 103;
constexpr int InvalidSettings = 104;
constexpr int InvalidArgument = 105;
constexpr int CopyRunning = 106;
} // namespace FailureCode
