#pragma once

#include <QString>

// The copying notice: its heading, the file when several are copied ("2 из 5:
// Игра.jar"), then how many bytes have arrived, with thousands separated by
// blanks ("196 605 байт"), and once a second of data has arrived, the rate in
// kilobytes a second ("196 605 байт, 5,6 КБ/с").
// dataMilliseconds: how long data has been arriving, 0 before the first byte;
// bytesBefore: what had arrived when that time began.
QString CopyingNoticeText(const QString &fileTitle, qint64 bytesReceived, qint64 dataMilliseconds = 0,
                          qint64 bytesBefore = 0);
