#pragma once

#include <QString>
#include <optional>

// A failure the program reports to the user: a stable number and a description.
// Shown as "<code> <description>" by Connect and refresh, and as the description
// alone by the debug window's Send.
//
// The numbers are part of what users see and quote, so they never change:
//
//    1  the serial device does not exist            (QSerialPort::DeviceNotFoundError)
//    2  access to the serial device is denied       (QSerialPort::PermissionError)
//    3  the serial device is busy or already open   (QSerialPort::OpenError)
//    7  writing to the serial device failed         (QSerialPort::WriteError)
//    8  reading from the serial device failed       (QSerialPort::ReadError)
//    9  the serial device is gone                   (QSerialPort::ResourceError)
//   10  the device refused a line setting           (QSerialPort::UnsupportedOperationError)
//   11  any other serial-layer failure              (QSerialPort::UnknownError)
//   13  the port is not open                        (QSerialPort::NotOpenError)
//  101  type mismatch: a text is not a number, or hex text holds a non-digit
//  102  overflow: a number is out of range
//  103  invalid port number (ports count from 1)
//  104  invalid settings text (speed,parity,data bits,stop bits)
//  105  invalid argument: a code-page conversion failed
//
// Serial-layer failures keep QSerialPort's own numbers, so a report can be
// matched against Qt's documentation directly.
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
constexpr int WriteFailed = 7;
constexpr int ReadFailed = 8;
constexpr int DeviceGone = 9;
constexpr int SettingRefused = 10;
constexpr int SerialOther = 11;
constexpr int PortNotOpen = 13;
constexpr int TypeMismatch = 101;
constexpr int Overflow = 102;
constexpr int InvalidPortNumber = 103;
constexpr int InvalidSettings = 104;
constexpr int InvalidArgument = 105;
} // namespace FailureCode
