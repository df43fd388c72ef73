#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>
#include <optional>

// The line speeds a user picks from, fastest first.
inline const QStringList OfferedSpeeds{
    QStringLiteral("256000"), QStringLiteral("128000"), QStringLiteral("115200"),
    QStringLiteral("57600"),  QStringLiteral("56000"),  QStringLiteral("38400"),
    QStringLiteral("19200"),  QStringLiteral("14400"),  QStringLiteral("9600")};

// A line as the settings text "speed,parity,data bits,stop bits" describes it,
// for example "115200,n,8,1".
struct LineSettings
{
    qint32 speed = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// The settings text of the phone's line at a speed given as text: no parity, 8 data
// bits, 1 stop bit.
QString PhoneLineSettings(const QString &speedText);

// The line the text describes; nullopt for a text that describes none. Blanks
// around the fields and the case of the parity letter do not matter.
std::optional<LineSettings> ParseLineSettings(const QString &text);
