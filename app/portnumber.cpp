#include "portnumber.h"

#include <QRegularExpression>
#include <limits>

MaybeFailure PortNumberFromText(const QString &text, qint16 &port)
{
    static const QRegularExpression WholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression PortName(QStringLiteral("^COM(?=[0-9])"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QString trimmed = text.trimmed().remove(PortName);
    if (!WholeNumber.match(trimmed).hasMatch())
        return Failure{FailureCode::TypeMismatch, QStringLiteral("Type mismatch")};

    bool fits = false;
    const int value = trimmed.toInt(&fits);
    if (!fits || value < std::numeric_limits<qint16>::min() || value > std::numeric_limits<qint16>::max())
        return Failure{FailureCode::Overflow, QStringLiteral("Overflow")};
    port = static_cast<qint16>(value);
    return std::nullopt;
}

bool IsDeviceName(const QString &text, const QStringList &listedDevices)
{
    const QString name = text.trimmed();
    return name.startsWith(QLatin1Char('/')) || listedDevices.contains(name, Qt::CaseInsensitive);
}
