#pragma once

#include <QElapsedTimer>
#include <QString>

// How much of a file has arrived and how fast: "196 605 байт", thousands set apart
// by blanks, and once a second of data has arrived the rate in kilobytes a second,
// "196 605 байт, 5,6 КБ/с". dataMilliseconds: how long data has been arriving, 0
// before the first byte; bytesBefore: what had arrived when that time began.
QString ProgressText(qint64 bytesReceived, qint64 dataMilliseconds, qint64 bytesBefore);

// The progress of one file, timed from its first data.
class CopyProgress
{
public:
    // A new file: nothing has arrived yet.
    void restart();
    void update(qint64 bytesReceived);
    // The count and the time of the last update, taken together.
    QString text() const;

private:
    QElapsedTimer m_dataClock;
    qint64 m_bytesWhenDataStarted = 0;
    qint64 m_bytes = 0;
    qint64 m_dataMilliseconds = 0;
};
