#include "noticetext.h"

QString CopyingNoticeText(qint64 bytesReceived)
{
    QString digits = QString::number(bytesReceived);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(' '));
    return QStringLiteral("ИДЕТ КОПИРОВАНИЕ\n%1 байт").arg(digits);
}
