#pragma once

#include <QString>

// The copying notice: its heading, then how many bytes have arrived, with
// thousands separated by blanks ("196 605 байт").
QString CopyingNoticeText(qint64 bytesReceived);
