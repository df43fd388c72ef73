#pragma once

#include <QString>

// The copying notice: its heading, the file when several are copied ("2 из 5:
// Игра.jar"), then the progress line.
QString CopyingNoticeText(const QString &fileTitle, const QString &progress);
