#pragma once

#include "failure.h"

#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>

// Waits for a lost serial device to come back and opens it. Every second it looks
// for the device: at the same name, or (a USB device whose old handle was still
// open when it returned) under another name with the same serial number, or
// vendor and product IDs. It opens a device only once it has been back for 2 s:
// other software may hold it briefly after it appears; a busy port is tried again,
// as is, every second, a Windows port that the system does not list.
class PortReturn
{
public:
    // Opens the device by the name the user gives it; none when it opened.
    using Open = std::function<MaybeFailure(const QString &device)>;

    PortReturn(Open open, std::function<void()> opened);

    // The device just opened, while it is there to be told apart from others.
    void remember(const QString &device);
    // Starts looking for the remembered device; false when there is none.
    bool watch();
    void stop();

private:
    void look();
    // The name the remembered device goes by now; empty while it is away.
    QString presentName() const;

    Open m_open;
    std::function<void()> m_opened;
    QString m_device;
    // Whether the system listed the device when it opened.
    bool m_listed = false;
    QString m_serialNumber;
    std::optional<std::pair<quint16, quint16>> m_vendorProduct;
    QTimer m_tick;
    QTimer m_settle;
    // The name the device was last seen under; it is opened once it has been
    // there for the settling time.
    QString m_candidate;
};
