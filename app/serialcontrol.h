#pragma once

#include "failure.h"
#include "phonefs/commandlinewriter.h"

#include <QByteArray>
#include <QString>

// The serial control as the phone link uses it: the port and its settings, writing
// command lines and, inside a communication event, its code and the received bytes.
class SerialControl : public CommandLineWriter
{
public:
    // Event codes read with commEvent().
    static constexpr int ReceiveEvent = 2;       // data waits to be read with input()
    static constexpr int DeviceLostEvent = 1009; // the device vanished; the port is closed
    static constexpr int LineErrorEvent = 1010;  // another error of the serial layer

    // Handshaking modes.
    static constexpr int NoHandshaking = 0;
    static constexpr int XonXoff = 1;
    static constexpr int RtsCts = 2;
    static constexpr int RtsCtsXonXoff = 3;

    [[nodiscard]] virtual MaybeFailure setCommPort(qint16 port) = 0;
    // A device named by its path instead of a port number, such as /dev/ttyACM0.
    [[nodiscard]] virtual MaybeFailure setCommDevice(const QString &path) = 0;
    // "speed,parity,data bits,stop bits", for example "115200,n,8,1".
    [[nodiscard]] virtual MaybeFailure setSettings(const QString &settings) = 0;
    [[nodiscard]] virtual MaybeFailure setPortOpen(bool open) = 0;
    virtual bool isPortOpen() const = 0;
    [[nodiscard]] virtual MaybeFailure setHandshaking(int mode) = 0;
    // Receive events are raised once this many bytes wait; 0 raises none.
    virtual void setRThreshold(qint16 threshold) = 0;

    // Writes the text, converted to the narrow-text code page, in one write.
    [[nodiscard]] virtual MaybeFailure output(const QString &text) = 0;
    // All bytes received since the previous call.
    virtual QByteArray input() = 0;
    virtual int commEvent() const = 0;
    // What went wrong, for DeviceLostEvent and LineErrorEvent.
    virtual Failure eventFailure() const = 0;

    bool lostUnder(const Failure &failure) const override
    {
        return !isPortOpen() && failure.code != FailureCode::PortNotOpen;
    }
    // Every command goes to the phone as one line ended by a carriage return alone.
    [[nodiscard]] MaybeFailure writeCommandLine(const QString &command) override
    {
        return output(command + QLatin1Char('\r'));
    }
};
