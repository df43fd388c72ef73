#include "openfailure.h"

#include "serialdevices.h"

#include <cerrno>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

OpenFailureFacts GatherOpenFailureFacts(QSerialPort::SerialPortError error, int port,
                                        const QString &device, const QString &reason)
{
    OpenFailureFacts facts{error, port, device, reason, false, {}, SerialDeviceNames()};
#ifndef Q_OS_WIN
    const QByteArray path = device.toLocal8Bit();
    facts.accessDenied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    struct stat node{};
    if (::stat(path.constData(), &node) == 0) {
        if (const group *owner = ::getgrgid(node.st_gid))
            facts.owningGroup = QString::fromLocal8Bit(owner->gr_name);
    }
#endif
    return facts;
}

namespace {

// A few names are enough to spot the phone and keep the box small.
QString someOf(const QStringList &names)
{
    constexpr int Listed = 5;
    QStringList shown = names.mid(0, Listed);
    if (names.size() > Listed)
        shown.append(QStringLiteral("…"));
    return shown.join(QStringLiteral(", "));
}

// "<device>: <the system's words>." Windows ends its words with a full stop already.
QString headOf(const OpenFailureFacts &facts)
{
    QString reason = facts.reason.trimmed();
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return QStringLiteral("%1: %2.").arg(facts.device, reason);
}

} // namespace

#ifdef Q_OS_WIN

// On Windows the user picks the number Device Manager shows; when the port will not
// open, it is held by another program or the phone's driver is missing or broken.
Failure DescribeOpenFailure(const OpenFailureFacts &facts)
{
    const QString head = headOf(facts);
    if (facts.error == QSerialPort::DeviceNotFoundError) {
        const QString found =
            facts.serialDevices.isEmpty()
                ? QStringLiteral("This computer has no COM port now: plug in the phone's cable, and if "
                                 "still none appears, install the phone's driver.")
                : QStringLiteral("COM ports here, also in the port list: %1.").arg(someOf(facts.serialDevices));
        return {FailureCode::DeviceNotFound,
                QStringLiteral("%1 Enter the COM number that Device Manager shows for the phone under "
                               "\"Ports (COM & LPT)\". %2")
                    .arg(head, found)};
    }
    if (facts.error == QSerialPort::PermissionError || facts.error == QSerialPort::OpenError) {
        return {FailureCode::DeviceBusy,
                QStringLiteral("%1 Another program holds the port, such as a terminal or the phone's "
                               "own PC software: close it and connect again.")
                    .arg(head)};
    }
    return {static_cast<int>(facts.error),
            QStringLiteral("%1 If this happens again, look at the phone in Device Manager: a warning sign "
                           "there means its driver needs reinstalling.")
                .arg(head)};
}

#else

Failure DescribeOpenFailure(const OpenFailureFacts &facts)
{
    const QString head = headOf(facts);
    if (facts.error == QSerialPort::DeviceNotFoundError) {
        // A numbered port may also be pointed at the device from outside.
        const QString setting =
            facts.port > 0 ? QStringLiteral(", or set MORVEX_COM%1 to ").arg(facts.port) : QString();
        if (facts.serialDevices.isEmpty()) {
            return {FailureCode::DeviceNotFound,
                    QStringLiteral("%1 No serial devices are connected: plug in the phone's cable%2.")
                        .arg(head, setting.isEmpty() ? setting : setting + QStringLiteral("its device"))};
        }
        return {FailureCode::DeviceNotFound,
                QStringLiteral("%1 Pick the phone's device in the port list or type its path%2. "
                               "Serial devices here: %3.")
                    .arg(head, setting.isEmpty() ? setting : setting + QStringLiteral("it"),
                         someOf(facts.serialDevices))};
    }
    if (facts.accessDenied) {
        const QString group = facts.owningGroup.isEmpty() ? QStringLiteral("dialout") : facts.owningGroup;
        return {FailureCode::PermissionDenied,
                QStringLiteral("%1 The device belongs to group %2; join it with "
                               "\"sudo usermod -aG %2 $USER\" and log in again.")
                    .arg(head, group)};
    }
    if (facts.error == QSerialPort::PermissionError || facts.error == QSerialPort::OpenError) {
        return {FailureCode::DeviceBusy,
                QStringLiteral("%1 Another program holds the port, often ModemManager: close it, or "
                               "give the device the udev property ID_MM_DEVICE_IGNORE=1.")
                    .arg(head)};
    }
    return {static_cast<int>(facts.error), QStringLiteral("%1: %2").arg(facts.device, facts.reason)};
}

#endif
