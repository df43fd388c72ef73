#include "openfailure.h"

#include "serialdevices.h"

#include <cerrno>

#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

void gatherDeviceAccess(const QByteArray &path, DeviceAccess &access)
{
    struct stat node{};
    if (::stat(path.constData(), &node) == 0) {
        access.known = true;
        access.ownerId = node.st_uid;
        access.groupId = node.st_gid;
        access.mode = node.st_mode & 0777;
        if (const passwd *owner = ::getpwuid(node.st_uid))
            access.ownerName = QString::fromLocal8Bit(owner->pw_name);
        if (const group *owning = ::getgrgid(node.st_gid))
            access.groupName = QString::fromLocal8Bit(owning->gr_name);
    }
    access.userId = ::geteuid();
    access.sessionGroups.append(::getegid());
    std::vector<gid_t> groups(qMax(0, ::getgroups(0, nullptr)));
    groups.resize(qMax(0, ::getgroups(int(groups.size()), groups.data())));
    access.sessionGroups.append(QList<uint>(groups.begin(), groups.end()));
    // What the group database says now, which a session started before joining lacks.
    const passwd *user = ::getpwuid(access.userId);
    if (!user)
        return;
    int count = 32;
    for (int tries = 0; tries < 3; ++tries) {
        groups.resize(count);
        if (::getgrouplist(user->pw_name, user->pw_gid, groups.data(), &count) >= 0) {
            access.memberGroups = QList<uint>(groups.begin(), groups.begin() + count);
            return;
        }
    }
}

} // namespace
#endif

OpenFailureFacts GatherOpenFailureFacts(QSerialPort::SerialPortError error, int port,
                                        const QString &device, const QString &reason)
{
    OpenFailureFacts facts{error, port, device, reason, false, {}, SerialDeviceNames()};
#ifndef Q_OS_WIN
    const QByteArray path = device.toLocal8Bit();
    facts.accessDenied = ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    if (facts.accessDenied)
        gatherDeviceAccess(path, facts.access);
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

namespace {

// Who owns the device and may do what, whether the user is in its group, and
// then only the remedy that would let the user in. Linux looks at one set of
// bits: the owner's for the owner, else the group's for its members, else the
// others'.
QString deniedAccess(const OpenFailureFacts &facts)
{
    const QString head = headOf(facts);
    const DeviceAccess &access = facts.access;
    if (!access.known) {
        return QStringLiteral("%1 Its owner, group and mode could not be looked at: ask the administrator to let "
                              "you read and write it.")
            .arg(head);
    }
    const QString owner = access.ownerName.isEmpty() ? QString::number(access.ownerId) : access.ownerName;
    const QString group = access.groupName.isEmpty() ? QString::number(access.groupId) : access.groupName;
    const QString checked = QStringLiteral("%1 The device belongs to user %2 and group %3 with mode %4; ")
                                .arg(head, owner, group, QStringLiteral("%1").arg(access.mode, 4, 8, QLatin1Char('0')));
    constexpr uint ReadWrite = 06;
    const bool owns = access.userId == access.ownerId;
    const bool inGroup = access.sessionGroups.contains(access.groupId);
    const int shift = owns ? 6 : inGroup ? 3 : 0;
    const bool groupMay = (access.mode >> 3 & ReadWrite) == ReadWrite;
    const QString askForMode = QStringLiteral("ask the administrator for a udev rule that gives the device "
                                              "MODE=\"0660\" and a group you are in.");
    if ((access.mode >> shift & ReadWrite) == ReadWrite) {
        return checked + QStringLiteral("by these you may read and write it, so something else refuses, such as "
                                        "an access control list or a security policy: ask the administrator.");
    }
    if (owns) {
        return checked + QStringLiteral("you own it, but its mode keeps its owner from reading and writing it: "
                                        "\"chmod u+rw %1\" lets you.")
                             .arg(facts.device);
    }
    if (!groupMay) {
        return checked
               + (inGroup ? QStringLiteral("you are in group %1, but its mode keeps the group from reading and "
                                           "writing it: ")
                          : QStringLiteral("its mode keeps group %1 from reading and writing it, so joining the "
                                           "group would not help: "))
                     .arg(group)
               + askForMode;
    }
    if (access.memberGroups.contains(access.groupId)) {
        return checked + QStringLiteral("you have joined group %1 since you logged in: log out and in again.")
                             .arg(group);
    }
    return checked + QStringLiteral("you are not in group %1: join it with \"sudo usermod -aG %1 $USER\" and log "
                                    "in again.")
                         .arg(group);
}

} // namespace

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
    if (facts.accessDenied)
        return {FailureCode::PermissionDenied, deniedAccess(facts)};
    if (facts.error == QSerialPort::PermissionError || facts.error == QSerialPort::OpenError) {
        return {FailureCode::DeviceBusy,
                QStringLiteral("%1 Another program holds the port, often ModemManager: close it, or "
                               "give the device the udev property ID_MM_DEVICE_IGNORE=1.")
                    .arg(head)};
    }
    return {static_cast<int>(facts.error), QStringLiteral("%1: %2").arg(facts.device, facts.reason)};
}

#endif
