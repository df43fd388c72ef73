#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

// A line as the settings text "speed,parity,data bits,stop bits" describes it,
// for example "115200,n,8,1".
struct LineSettings
{
    qint32 speed = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// The line the text describes; nullopt for a text that describes none. Blanks
// around the fields and the case of the parity letter do not matter.
std::optional<LineSettings> ParseLineSettings(const QString &text);
