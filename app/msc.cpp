#include "msc.h"

#include "linesettings.h"
#include "openfailure.h"
#include "charset/ansicodepage.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <termios.h>
#endif

namespace {

// QSerialPort offers one kind of flow control at a time; mode 3 wants XON/XOFF on
// top of RTS/CTS, so that half is set on the open handle.
bool addSoftwareFlowControl(QSerialPort &port)
{
#ifdef Q_OS_WIN
    const auto handle = static_cast<HANDLE>(port.handle());
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return false;
    dcb.fOutX = TRUE;
    dcb.fInX = TRUE;
    return SetCommState(handle, &dcb);
#else
    termios attributes{};
    if (tcgetattr(port.handle(), &attributes) == -1)
        return false;
    attributes.c_iflag |= IXON | IXOFF;
    attributes.c_iflag &= ~IXANY;
    return tcsetattr(port.handle(), TCSANOW, &attributes) == 0;
#endif
}

QStringList &devicesOpenHere()
{
    static QStringList devices;
    return devices;
}

} // namespace

MSC::MSC(QObject *parent)
    : QObject(parent)
{
    connect(&m_port, &QSerialPort::readyRead, this, &MSC::handleReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &MSC::handleError);
}

MSC::~MSC()
{
    closeDevice();
}

QStringList MSC::openDevices()
{
    return devicesOpenHere();
}

void MSC::closeDevice()
{
    if (!m_port.isOpen())
        return;
    m_port.close();
    devicesOpenHere().removeOne(m_device);
}

QString MSC::deviceForPort(int port)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    const QByteArray mapped = qgetenv("MORVEX_COM" + QByteArray::number(port));
    if (!mapped.isEmpty())
        return QString::fromLocal8Bit(mapped);
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

MaybeFailure MSC::setCommPort(qint16 port)
{
    if (m_port.isOpen())
        return alreadyOpen();
    if (port < 1)
        return Failure{FailureCode::InvalidPortNumber, QStringLiteral("Invalid port number")};
    m_commPort = port;
    m_commDevice.clear();
    return std::nullopt;
}

MaybeFailure MSC::setCommDevice(const QString &path)
{
    if (m_port.isOpen())
        return alreadyOpen();
    m_commDevice = path;
    return std::nullopt;
}

MaybeFailure MSC::setSettings(const QString &settings)
{
    const std::optional<LineSettings> line = ParseLineSettings(settings);
    if (!line)
        return Failure{FailureCode::InvalidSettings,
                       QStringLiteral("Invalid settings \"%1\"").arg(settings)};
    // On a closed port these are only stored; the device checks them at opening.
    m_raised.reset();
    if (!m_port.setBaudRate(line->speed) || !m_port.setParity(line->parity)
        || !m_port.setDataBits(line->dataBits) || !m_port.setStopBits(line->stopBits)) {
        return raisedFailure();
    }
    m_settings = settings;
    return std::nullopt;
}

MaybeFailure MSC::setPortOpen(bool open)
{
    if (!open) {
        closeDevice();
        return std::nullopt;
    }
    if (m_port.isOpen())
        return alreadyOpen();

    const bool numbered = m_commDevice.isEmpty();
    m_device = numbered ? deviceForPort(m_commPort) : m_commDevice;
    m_port.setPortName(m_device);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const Failure failure = DescribeOpenFailure(
            GatherOpenFailureFacts(m_port.error(), numbered ? m_commPort : 0, m_device, m_port.errorString()));
        m_port.clearError();
        return failure;
    }
    devicesOpenHere().append(m_device);
    m_salvaged.clear();
    m_lossPending = false;
    return applyHandshaking();
}

MaybeFailure MSC::setHandshaking(int mode)
{
    if (mode < NoHandshaking || mode > RtsCtsXonXoff)
        return Failure{FailureCode::InvalidSettings,
                       QStringLiteral("Invalid handshaking mode %1").arg(mode)};
    m_handshaking = mode;
    return m_port.isOpen() ? applyHandshaking() : std::nullopt;
}

MaybeFailure MSC::applyHandshaking()
{
    const bool hardware = m_handshaking == RtsCts || m_handshaking == RtsCtsXonXoff;
    const bool software = m_handshaking == XonXoff || m_handshaking == RtsCtsXonXoff;
    const auto flow = hardware ? QSerialPort::HardwareControl
                      : software ? QSerialPort::SoftwareControl
                                 : QSerialPort::NoFlowControl;
    m_raised.reset();
    if (!m_port.setFlowControl(flow))
        return raisedFailure();
    if (hardware && software && !addSoftwareFlowControl(m_port)) {
        return Failure{FailureCode::SettingRefused,
                       QStringLiteral("%1: XON/XOFF flow control refused").arg(m_device)};
    }
    return std::nullopt;
}

MaybeFailure MSC::setDTREnable(bool enable)
{
    if (!m_port.isOpen())
        return Failure{FailureCode::PortNotOpen, QStringLiteral("Port is not open")};
    m_raised.reset();
    return m_port.setDataTerminalReady(enable) ? std::nullopt : MaybeFailure(raisedFailure());
}

MaybeFailure MSC::output(const QString &text)
{
    // The last bytes of a vanished device are still being handled: a write they
    // prompt fails because the device went, which its own event then says.
    if (!m_port.isOpen() && m_lossPending)
        return m_eventFailure;
    if (!m_port.isOpen())
        return Failure{FailureCode::PortNotOpen, QStringLiteral("Port is not open")};
    const QByteArray bytes = AnsiCodePage::fromText(text);
    m_raised.reset();
    if (m_port.write(bytes) != bytes.size())
        return raisedFailure();
    // Hand the command to the driver now rather than when the event loop next
    // polls: the phone starts on it while this side still updates its windows.
    // This is where the device refuses it, if it does.
    m_port.flush();
    if (m_raised)
        return m_raised;
    return std::nullopt;
}

QByteArray MSC::input()
{
    m_inputTaken = true;
    QByteArray piece = std::exchange(m_salvaged, {});
    if (m_port.isOpen())
        piece += m_port.readAll();
    return piece;
}

void MSC::handleReadyRead()
{
    if (m_rThreshold > 0)
        raise(ReceiveEvent);
}

void MSC::handleError(QSerialPort::SerialPortError error)
{
    // A failure to open is reported by setPortOpen: QSerialPort marks itself open
    // only once the device is open and set up.
    if (error == QSerialPort::NoError || !m_port.isOpen())
        return;

    const QString reason = m_port.errorString();
    m_eventFailure = portFailure();
    // Cleared so the next failure is signalled too; the caller whose call raised
    // this one still learns of it.
    m_raised = m_eventFailure;
    m_port.clearError();
    // A device that can no longer be read from or written to is gone: Linux says so
    // as a resource error, Windows may first refuse a write ("Not ready").
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError) {
        m_eventFailure.description = QStringLiteral("%1: связь с телефоном потеряна (%2)")
                                         .arg(m_device, reason);
        // A vanished device (a pulled cable, or a pseudo-terminal whose other end
        // closed) keeps signalling as long as the port stays open, hundreds of
        // thousands of times a second. Close at once, keep what was received, and
        // report it as one event.
        m_salvaged += m_port.readAll();
        closeDevice();
        m_lossPending = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_salvaged.isEmpty())
                    raise(ReceiveEvent);
                raise(DeviceLostEvent);
            },
            Qt::QueuedConnection);
        return;
    }
    QMetaObject::invokeMethod(this, [this] { raise(LineErrorEvent); }, Qt::QueuedConnection);
}

void MSC::raise(int event)
{
    if (event != ReceiveEvent || !m_pendingEvents.contains(ReceiveEvent))
        m_pendingEvents.enqueue(event);
    if (m_delivering)
        return;

    m_delivering = true;
    while (!m_pendingEvents.isEmpty()) {
        const int next = m_pendingEvents.dequeue();
        if (next == ReceiveEvent && !inputWaiting())
            continue;
        m_event = next;
        m_inputTaken = false;
        emit onComm();
        if (next == DeviceLostEvent)
            m_lossPending = false;
        // QSerialPort announces no data that arrives while a readyRead() slot runs,
        // as when the handler waits in a modal dialog: look for it here.
        if (m_inputTaken && inputWaiting() && !m_pendingEvents.contains(ReceiveEvent))
            m_pendingEvents.enqueue(ReceiveEvent);
    }
    m_delivering = false;
}

bool MSC::inputWaiting() const
{
    return !m_salvaged.isEmpty()
           || (m_port.isOpen() && m_port.bytesAvailable() >= qMax<qint16>(1, m_rThreshold));
}

Failure MSC::alreadyOpen()
{
    return Failure{FailureCode::DeviceBusy, QStringLiteral("Port already open")};
}

Failure MSC::raisedFailure()
{
    const Failure failure = m_port.error() == QSerialPort::NoError && m_raised ? *m_raised : portFailure();
    m_port.clearError();
    return failure;
}

// The serial layer's codes are shown as Qt 6 numbers them; app/failure.h lists
// them, and the program's own codes for the same failures agree.
static_assert(QSerialPort::DeviceNotFoundError == FailureCode::DeviceNotFound
              && QSerialPort::PermissionError == FailureCode::PermissionDenied
              && QSerialPort::OpenError == FailureCode::DeviceBusy && QSerialPort::ReadError == 5
              && QSerialPort::UnsupportedOperationError == FailureCode::SettingRefused
              && QSerialPort::UnknownError == FailureCode::SerialOther && QSerialPort::NotOpenError == 10);

Failure MSC::portFailure() const
{
    const int code = m_port.error() == QSerialPort::NoError ? FailureCode::SerialOther
                                                            : static_cast<int>(m_port.error());
    return Failure{code, QStringLiteral("%1: %2").arg(m_device, m_port.errorString())};
}
