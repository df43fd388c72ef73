#pragma once

#include "failure.h"
#include "serialcontrol.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>
#include <QSerialPort>
#include <QString>

// The serial communications control: a thin layer over QSerialPort with the
// operations the windows use (port number, settings text, open flag, receive
// threshold, handshaking, output, input, event code and the communication event).
//
// Events are delivered one at a time: onComm() is never emitted while a slot of an
// earlier onComm() is still running, even when that slot sits in a modal dialog's
// event loop. Events raised meanwhile wait in order and follow as soon as it returns.
class MSC : public QObject, public SerialControl
{
    Q_OBJECT

public:
    // Handshaking modes.
    static constexpr int NoHandshaking = 0;
    static constexpr int XonXoff = 1;
    static constexpr int RtsCts = 2;
    static constexpr int RtsCtsXonXoff = 3;

    explicit MSC(QObject *parent = nullptr);

    // COM port n: on Linux the device named by MORVEX_COM<n>, else /dev/ttyS<n-1>;
    // on Windows COM<n>.
    static QString deviceForPort(int port);

    [[nodiscard]] MaybeFailure setCommPort(qint16 port);
    qint16 commPort() const { return m_commPort; }

    // "speed,parity,data bits,stop bits", for example "115200,n,8,1". The speed is
    // passed on as it is; the device decides at opening whether it accepts it.
    [[nodiscard]] MaybeFailure setSettings(const QString &settings);
    QString settings() const { return m_settings; }

    [[nodiscard]] MaybeFailure setPortOpen(bool open);
    bool isPortOpen() const override { return m_port.isOpen(); }

    // Receive events are raised once this many bytes wait; 0 raises none.
    void setRThreshold(qint16 threshold) { m_rThreshold = threshold; }

    [[nodiscard]] MaybeFailure setHandshaking(int mode);

    // Writes the text, converted to the narrow-text code page, in one write.
    [[nodiscard]] MaybeFailure output(const QString &text) override;
    // All bytes received since the previous call.
    QByteArray input() override;

    int commEvent() const override { return m_event; }
    // What went wrong, for DeviceLostEvent and LineErrorEvent.
    Failure eventFailure() const override { return m_eventFailure; }

signals:
    void onComm();

private:
    void handleReadyRead();
    void handleError(QSerialPort::SerialPortError error);
    void raise(int event);
    bool inputWaiting() const;
    Failure portFailure() const;
    MaybeFailure applyHandshaking();

    QSerialPort m_port;
    qint16 m_commPort = 1;
    QString m_settings = QStringLiteral("9600,n,8,1");
    qint16 m_rThreshold = 0;
    int m_handshaking = NoHandshaking;
    QString m_device;

    int m_event = 0;
    Failure m_eventFailure;
    QQueue<int> m_pendingEvents;
    bool m_delivering = false;
    bool m_opening = false;
    bool m_inputTaken = false;
    // Bytes taken from the port when it had to be closed under us, so none are lost.
    QByteArray m_salvaged;
};
