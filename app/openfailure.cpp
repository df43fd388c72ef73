#include "openfailure.h"

#include <QSerialPortInfo>

#include <cerrno>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

OpenFailureFacts GatherOpenFailureFacts(QSerialPort::SerialPortError error, int port,
                                        const QString &device, const QString &reason)
{
    OpenFailureFacts facts{error, port, device, reason, false, {}, {}};
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        facts.serialDevices.append(info.systemLocation());
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

Failure DescribeOpenFailure(const OpenFailureFacts &facts)
{
    const QString head = QStringLiteral("%1: %2.").arg(facts.device, facts.reason);
    if (facts.error == QSerialPort::DeviceNotFoundError) {
        // A few names are enough to spot the phone and keep the box small.
        constexpr int Listed = 5;
        QStringList names = facts.serialDevices.mid(0, Listed);
        if (facts.serialDevices.size() > Listed)
            names.append(QStringLiteral("…"));
        const QString found = names.isEmpty() ? QStringLiteral("No serial devices are connected.")
                                              : QStringLiteral("Serial devices here: %1.").arg(names.join(QStringLiteral(", ")));
        return {FailureCode::DeviceNotFound,
                QStringLiteral("%1 Set MORVEX_COM%2 to the phone's device. %3").arg(head).arg(facts.port).arg(found)};
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
