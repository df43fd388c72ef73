#include "serialdevices.h"

#include "msc.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

#ifdef Q_OS_WIN

QString deviceName(const QSerialPortInfo &info)
{
    return info.portName();
}

bool sameDevice(const QString &one, const QString &other)
{
    return one.compare(other, Qt::CaseInsensitive) == 0;
}

// Windows describes the ports of its Bluetooth serial profile as such.
bool isBluetooth(const QString &, const QString &description)
{
    return description.contains(QLatin1String("Bluetooth"), Qt::CaseInsensitive);
}

// Every COM<n> is one the system lists itself.
bool isMappedPort(int)
{
    return false;
}

#else

QString deviceName(const QSerialPortInfo &info)
{
    return info.systemLocation();
}

// Through links such as /dev/serial/by-id/… too.
bool sameDevice(const QString &one, const QString &other)
{
    const QString canonical = QFileInfo(one).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(other).canonicalFilePath();
}

bool isBluetooth(const QString &device, const QString &)
{
    return QFileInfo(QFileInfo(device).canonicalFilePath()).fileName().startsWith(QLatin1String("rfcomm"));
}

// Pointed at a device by MORVEX_COM<n>, which may be one the system does not list,
// such as a pseudo-terminal.
bool isMappedPort(int port)
{
    return !qEnvironmentVariableIsEmpty(("MORVEX_COM" + QByteArray::number(port)).constData())
           && QFileInfo::exists(MSC::deviceForPort(port));
}

#endif

} // namespace

QStringList SerialDeviceNames()
{
    QStringList names;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names.append(deviceName(info));
    return names;
}

QList<SearchCandidate> SearchCandidates()
{
    QList<SearchCandidate> candidates;
    const QStringList held = MSC::openDevices();
    const auto known = [&](const QString &device) {
        return std::any_of(held.begin(), held.end(), [&](const QString &open) { return sameDevice(open, device); })
               || std::any_of(candidates.begin(), candidates.end(),
                              [&](const SearchCandidate &taken) { return sameDevice(taken.device, device); });
    };
    for (int port = 1; port <= NumberedPortCount; ++port) {
        const QString device = MSC::deviceForPort(port);
        if (isMappedPort(port) && !known(device))
            candidates.append({QString::number(port), device, isBluetooth(device, {})});
    }
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        const QString device = deviceName(info);
        if (known(device))
            continue;
        QString name = device;
        for (int port = NumberedPortCount; port >= 1; --port) {
            if (sameDevice(MSC::deviceForPort(port), device))
                name = QString::number(port);
        }
        candidates.append({name, device, isBluetooth(device, info.description())});
    }
    // In the order of the port field's list: numbers, devices, and Bluetooth last.
    const auto place = [](const SearchCandidate &candidate) {
        bool numbered = false;
        const int port = candidate.name.toInt(&numbered);
        return std::pair(candidate.bluetooth, numbered ? port : NumberedPortCount + 1);
    };
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const SearchCandidate &one, const SearchCandidate &other) { return place(one) < place(other); });
    return candidates;
}
