#include "noticetext.h"

QString CopyingNoticeText(const QString &fileTitle, const QString &progress)
{
    const QString heading = QStringLiteral("ИДЕТ КОПИРОВАНИЕ\n");
    return fileTitle.isEmpty() ? heading + progress : heading + fileTitle + QLatin1Char('\n') + progress;
}
