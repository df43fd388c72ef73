#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

// What the phone protocol needs of the serial control: writing command lines and,
// inside a communication event, its code and the received bytes.
class SerialControl
{
public:
    // Event codes read with commEvent().
    static constexpr int ReceiveEvent = 2;       // data waits to be read with input()
    static constexpr int DeviceLostEvent = 1009; // the device vanished; the port is closed
    static constexpr int LineErrorEvent = 1010;  // another error of the serial layer

    virtual ~SerialControl() = default;

    [[nodiscard]] virtual MaybeFailure output(const QString &text) = 0;
    virtual QByteArray input() = 0;
    virtual int commEvent() const = 0;
    virtual Failure eventFailure() const = 0;
    virtual bool isPortOpen() const = 0;
};
