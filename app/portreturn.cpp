#include "portreturn.h"

#include "serialdevices.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

constexpr std::chrono::seconds LookInterval(1);
constexpr std::chrono::seconds SettleTime(2);

// The system's path of a device as the user names it, links such as
// /dev/serial/by-id/... followed.
QString systemPath(const QString &device)
{
    const QString canonical = QFileInfo(device).canonicalFilePath();
    return canonical.isEmpty() ? device : canonical;
}

} // namespace

PortReturn::PortReturn(Open open, std::function<void()> opened)
    : m_open(std::move(open))
    , m_opened(std::move(opened))
{
    m_tick.setInterval(LookInterval);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleTime);
    QObject::connect(&m_tick, &QTimer::timeout, &m_tick, [this] { look(); });
    QObject::connect(&m_settle, &QTimer::timeout, &m_settle, [this] { look(); });
}

void PortReturn::remember(const QString &device)
{
    m_device = device;
    m_listed = false;
    m_serialNumber.clear();
    m_vendorProduct.reset();
    const QString path = systemPath(device);
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        if (info.portName().compare(device, Qt::CaseInsensitive) != 0 && info.systemLocation() != path)
            continue;
        m_listed = true;
        m_serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier())
            m_vendorProduct = {info.vendorIdentifier(), info.productIdentifier()};
    }
}

bool PortReturn::watch()
{
    if (m_device.isEmpty())
        return false;
    m_candidate.clear();
    m_tick.start();
    return true;
}

void PortReturn::stop()
{
    m_tick.stop();
    m_settle.stop();
    m_candidate.clear();
}

void PortReturn::look()
{
    const QString name = presentName();
    if (name != m_candidate) {
        // Newly back, or back under another name: it is left alone a while first.
        m_candidate = name;
        if (name.isEmpty())
            m_settle.stop();
        else
            m_settle.start();
        return;
    }
    if (name.isEmpty() || m_settle.isActive())
        return;
    // A busy port is tried again at the next look.
    if (m_open(name))
        return;
    stop();
    m_opened();
}

QString PortReturn::presentName() const
{
#ifdef Q_OS_WIN
    // A port the system did not list, such as one Wine maps to a device by hand,
    // cannot be seen come back: it is tried as if there.
    const bool there = !m_listed || SerialDeviceNames().contains(m_device, Qt::CaseInsensitive);
#else
    const bool there = QFileInfo::exists(m_device);
#endif
    if (there)
        return m_device;
    if (m_serialNumber.isEmpty() && !m_vendorProduct)
        return {};
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        const bool sameSerial = !m_serialNumber.isEmpty() && info.serialNumber() == m_serialNumber;
        const bool sameIds = m_serialNumber.isEmpty() && m_vendorProduct && info.hasVendorIdentifier()
                             && info.hasProductIdentifier()
                             && std::pair(info.vendorIdentifier(), info.productIdentifier()) == *m_vendorProduct;
        if (sameSerial || sameIds) {
#ifdef Q_OS_WIN
            return info.portName();
#else
            return info.systemLocation();
#endif
        }
    }
    return {};
}
