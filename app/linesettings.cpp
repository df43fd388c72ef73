#include "linesettings.h"

#include <limits>

QString PhoneLineSettings(const QString &speedText)
{
    return speedText + QStringLiteral(",n,8,1");
}

std::optional<LineSettings> ParseLineSettings(const QString &text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings line;
    bool ok = false;
    const qlonglong speed = fields[0].trimmed().toLongLong(&ok);
    if (!ok || speed <= 0 || speed > std::numeric_limits<qint32>::max())
        return std::nullopt;
    line.speed = static_cast<qint32>(speed);

    const QString parity = fields[1].trimmed().toLower();
    if (parity == u"n")
        line.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        line.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        line.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        line.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        line.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return std::nullopt;
    line.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const QString stopBits = fields[3].trimmed();
    if (stopBits == u"1")
        line.stopBits = QSerialPort::OneStop;
    else if (stopBits == u"1.5")
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (stopBits == u"2")
        line.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return line;
}
