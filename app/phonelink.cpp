#include "phonelink.h"

#include "linesettings.h"
#include "linkview.h"
#include "msc.h"
#include "portnumber.h"
#include "prompts.h"
#include "serialdevices.h"
#include "charset/charsetcommands.h"
#include "phonefs/download.h"
#include "phonefs/listing.h"

PhoneLink::PhoneLink(LinkView &view, Prompts &prompts)
    : m_ownPort(std::make_unique<MSC>())
    , m_port(*m_ownPort)
    , m_view(view)
    , m_prompts(prompts)
{
    QObject::connect(m_ownPort.get(), &MSC::onComm, m_ownPort.get(), [this] { MSC_OnComm(); });
    setUp();
}

PhoneLink::PhoneLink(SerialControl &port, LinkView &view, Prompts &prompts)
    : m_port(port)
    , m_view(view)
    , m_prompts(prompts)
{
    setUp();
}

void PhoneLink::setUp()
{
    m_dispatcher.setWaitForPhone([this](const Failure &lost) { return waitForPhone(lost); });
    m_waitLimit.setSingleShot(true);
    QObject::connect(&m_waitLimit, &QTimer::timeout, &m_waitLimit, [this] {
        m_return.stop();
        m_copy.interrupt(m_lost.message());
    });
    // A receive event as soon as one byte waits.
    m_port.setRThreshold(1);
}

PhoneLink::~PhoneLink() = default;

MaybeFailure PhoneLink::connectPort(const QString &portText, const QString &speedText)
{
    if (MaybeFailure failure = openPort(portText, speedText))
        return failure;
    MaybeFailure failure = refresh();
    // A port left open by a failed Connect would refuse the next one as busy.
    if (failure)
        closePort();
    return failure;
}

MaybeFailure PhoneLink::connectFound(const QString &portText, const QString &speedText,
                                     const QByteArray &listingReply)
{
    closePort();
    if (MaybeFailure failure = openPort(portText, speedText)) {
        m_view.setLamp(false);
        return failure;
    }
    // What asking for the listing would have set; copies name their files by it.
    m_link.folderPath = ApplicationFolder;
    m_view.clearEntries();
    m_dispatcher.takeReceived(listingReply);
    m_view.setLamp(true);
    return std::nullopt;
}

MaybeFailure PhoneLink::openPort(const QString &portText, const QString &speedText)
{
    qint16 port = 0;
    MaybeFailure failure = PortNumberFromText(portText, port);
    if (!failure)
        failure = m_port.setCommPort(port);
    else if (IsDeviceName(portText, SerialDeviceNames()))
        failure = m_port.setCommDevice(portText.trimmed());
    if (!failure)
        failure = m_port.setSettings(PhoneLineSettings(speedText));
    if (!failure)
        failure = m_port.setPortOpen(true);
    const bool openedHere = !failure;
    // Nothing the phone owed on an earlier connection will come on this one.
    if (openedHere) {
        m_dispatcher.resetLink();
        m_speedText = speedText;
        m_return.remember(port > 0 ? MSC::deviceForPort(port) : portText.trimmed());
    }
    if (!failure)
        failure = m_port.setHandshaking(SerialControl::RtsCtsXonXoff);
    // A port left open by a failed Connect would refuse the next one as busy.
    if (failure && openedHere)
        closePort();
    return failure;
}

void PhoneLink::disconnectPort()
{
    if (m_port.isPortOpen())
        closePort();
    else
        m_prompts.message(QStringLiteral("Нет соединения"), Prompts::Icon::Information);
    m_view.setLamp(false);
}

void PhoneLink::closePort()
{
    if (m_port.isPortOpen())
        (void)m_port.setPortOpen(false);
}

MaybeFailure PhoneLink::refresh()
{
    if (MaybeFailure failure = RequestListing(m_link, m_port))
        return unlessLostUnder(std::move(failure));
    // After the write: the reply is handled in a later event, never before this.
    m_view.clearEntries();
    return std::nullopt;
}

MaybeFailure PhoneLink::startDownload(const QByteArray &rawName, const QString &readableName)
{
    return m_copy.start(rawName, readableName);
}

void PhoneLink::cancelDownload()
{
    m_return.stop();
    m_waitLimit.stop();
    m_dispatcher.cancelDownload();
}

bool PhoneLink::waitForPhone(const Failure &lost)
{
    if (m_returnWait == std::chrono::seconds(0) || !m_return.watch())
        return false;
    m_lost = lost;
    if (m_returnWait)
        m_waitLimit.start(*m_returnWait);
    return true;
}

void PhoneLink::phoneBack()
{
    m_waitLimit.stop();
    m_view.setLamp(true);
    m_copy.resume();
}

MaybeFailure PhoneLink::copyAll(const QString &folder, const QList<CopyAll::Entry> &entries)
{
    if (!m_port.isPortOpen())
        return Failure{FailureCode::PortNotOpen, QStringLiteral("Port is not open")};
    m_copy.startRun(folder, entries);
    return std::nullopt;
}

MaybeFailure PhoneLink::sendCommandLine(const QString &command)
{
    // Its reply would be gathered as the copy's, and end it or fill its file.
    if (m_copy.isRunning())
        return Failure{FailureCode::CopyRunning, QStringLiteral("Идёт копирование: команда не отправлена")};
    return unlessLostUnder(m_port.writeCommandLine(command));
}

MaybeFailure PhoneLink::selectCharacterSet(CharacterSet set)
{
    const QString &command = set == CharacterSet::Utf8 ? CharsetCommand::SelectUtf8
                                                       : CharsetCommand::SelectGsm;
    m_view.setCommandLine(command);
    // Only the UTF-8 entry sends its command; the GSM one leaves it to be sent by hand.
    return set == CharacterSet::Utf8 ? unlessLostUnder(m_port.writeCommandLine(command)) : std::nullopt;
}

MaybeFailure PhoneLink::unlessLostUnder(MaybeFailure failure) const
{
    return failure && m_port.lostUnder(*failure) ? std::nullopt : failure;
}

void PhoneLink::MSC_OnComm()
{
    m_dispatcher.MSC_OnComm();
}

bool PhoneLink::isPortOpen() const
{
    return m_port.isPortOpen();
}
