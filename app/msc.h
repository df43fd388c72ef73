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
    explicit MSC(QObject *parent = nullptr);
    ~MSC() override;

    // COM port n: on Linux the device named by MORVEX_COM<n>, else /dev/ttyS<n-1>;
    // on Windows COM<n>.
    static QString deviceForPort(int port);
    // The devices the serial controls of this program hold open now, as they were named
    // when opened.
    static QStringList openDevices();

    [[nodiscard]] MaybeFailure setCommPort(qint16 port) override;
    qint16 commPort() const { return m_commPort; }
    [[nodiscard]] MaybeFailure setCommDevice(const QString &path) override;

    // The speed is passed on as it is; the device decides at opening whether it
    // accepts it.
    [[nodiscard]] MaybeFailure setSettings(const QString &settings) override;
    QString settings() const { return m_settings; }

    [[nodiscard]] MaybeFailure setPortOpen(bool open) override;
    bool isPortOpen() const override { return m_port.isOpen(); }
    [[nodiscard]] MaybeFailure setHandshaking(int mode) override;
    void setRThreshold(qint16 threshold) override { m_rThreshold = threshold; }
    // Raises or lowers the open port's DTR line. A device without modem lines, such
    // as a pseudo-terminal, refuses.
    [[nodiscard]] MaybeFailure setDTREnable(bool enable);

    [[nodiscard]] MaybeFailure output(const QString &text) override;
    QByteArray input() override;
    int commEvent() const override { return m_event; }
    Failure eventFailure() const override { return m_eventFailure; }

signals:
    void onComm();

private:
    void handleReadyRead();
    void handleError(QSerialPort::SerialPortError error);
    void raise(int event);
    void closeDevice();
    bool inputWaiting() const;
    Failure portFailure() const;
    // What the port, its number and its device refuse to change while open.
    static Failure alreadyOpen();
    // The failure of the call that just failed: the port's error, or the one the
    // device raised during the call.
    Failure raisedFailure();
    MaybeFailure applyHandshaking();

    QSerialPort m_port;
    qint16 m_commPort = 1;
    // Set instead of the port number when the user named the device itself.
    QString m_commDevice;
    QString m_settings = QStringLiteral("9600,n,8,1");
    qint16 m_rThreshold = 0;
    int m_handshaking = NoHandshaking;
    QString m_device;

    int m_event = 0;
    Failure m_eventFailure;
    // What the device raised during the current call.
    MaybeFailure m_raised;
    QQueue<int> m_pendingEvents;
    bool m_delivering = false;
    bool m_inputTaken = false;
    // Bytes taken from the port when it had to be closed under us, so none are lost.
    QByteArray m_salvaged;
    // The device vanished and its event has not been delivered yet.
    bool m_lossPending = false;
};
