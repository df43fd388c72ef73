#pragma once

#include "Module1.h"
#include "failure.h"
#include "linkview.h"
#include "owedrequest.h"
#include "portreturn.h"
#include "receivedispatcher.h"
#include "phonefs/phonecopy.h"

#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>
#include <memory>

class MSC;
class Prompts;
class SerialControl;

enum class CharacterSet { Gsm, Utf8 };

// The link to the phone: the serial control, the shared link state and the handling
// of everything the phone sends. The windows forward the user's commands here and
// show what it reports through LinkView; it holds no widget.
class PhoneLink
{
public:
    // The program's link, over a serial control of its own.
    PhoneLink(LinkView &view, Prompts &prompts);
    // A link over another serial control, such as a test's.
    PhoneLink(SerialControl &port, LinkView &view, Prompts &prompts);
    ~PhoneLink();
    PhoneLink(const PhoneLink &) = delete;
    PhoneLink &operator=(const PhoneLink &) = delete;

    // Opens the port at speedText and asks for the listing. portText is a COM port
    // number, a COM<n> name or a device path. A failing step ends it; a port it
    // opened is closed again.
    [[nodiscard]] MaybeFailure connectPort(const QString &portText, const QString &speedText);
    // The same without the listing, for a command of the user's own; a port that
    // opened but could not be set up is closed again.
    [[nodiscard]] MaybeFailure openPort(const QString &portText, const QString &speedText);
    // Connect without the listing request, on the port a search found the phone on:
    // a port open elsewhere is closed, and the listing reply the search received
    // there is handled as if it had just come.
    [[nodiscard]] MaybeFailure connectFound(const QString &portText, const QString &speedText,
                                            const QByteArray &listingReply);
    // Closes the port, or says there is none open; either way the lamp turns red.
    void disconnectPort();
    // Closes the port if it is open, without a word: the program is ending.
    void closePort();
    // Asks for the listing of the application folder; the lists empty at once.
    [[nodiscard]] MaybeFailure refresh();
    // Starts copying the entry with these names from the application folder.
    [[nodiscard]] MaybeFailure startDownload(const QByteArray &rawName, const QString &readableName);
    // Stops a running copy at once, saving nothing; the user asked for it. A copy
    // waiting for the phone stops waiting.
    void cancelDownload();
    // How long a copy waits when the device goes: nullopt for as long as it takes
    // (the default), zero not at all. Meanwhile the port is opened again once the
    // device is back, and the copy goes on.
    void setReturnWait(std::optional<std::chrono::seconds> wait) { m_returnWait = wait; }
    bool isWaitingForPhone() const { return m_copy.isWaiting(); }
    // Copies every entry into the folder, one after the other, in their order.
    [[nodiscard]] MaybeFailure copyAll(const QString &folder, const QList<CopyAll::Entry> &entries);
    // Writes a command line as typed, neither checked nor trimmed; refused while a
    // copy runs.
    [[nodiscard]] MaybeFailure sendCommandLine(const QString &command);
    // Puts the command that selects the set into the debug window's command line;
    // the UTF-8 one also goes to the phone.
    [[nodiscard]] MaybeFailure selectCharacterSet(CharacterSet set);

    // The serial control's communication event.
    void MSC_OnComm();

    bool isPortOpen() const;
    const Module1 &state() const { return m_link; }

private:
    // A write the device vanished under is told of once, by its lost-device event.
    MaybeFailure unlessLostUnder(MaybeFailure failure) const;
    // The device went under a copy: true when the copy is to wait for it.
    bool waitForPhone(const Failure &lost);
    void phoneBack();
    // What both constructors do once the members stand.
    void setUp();

    std::unique_ptr<MSC> m_ownPort;
    SerialControl &m_port;
    LinkView &m_view;
    Prompts &m_prompts;
    Module1 m_link;
    OwedRequest m_requests{m_port};
    PhoneCopy m_copy{m_link, m_requests, m_view, m_prompts};
    ReceiveDispatcher m_dispatcher{m_link, m_port, m_requests, m_copy, m_view, m_prompts};
    // The line speed of the last port opened, for opening it again.
    QString m_speedText;
    std::optional<std::chrono::seconds> m_returnWait;
    PortReturn m_return{[this](const QString &device) { return openPort(device, m_speedText); },
                        [this] { phoneBack(); }};
    QTimer m_waitLimit;
    Failure m_lost;
};
