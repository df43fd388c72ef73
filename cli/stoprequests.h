#pragma once

#include <QObject>

// Ctrl+C and a request to terminate (SIGINT and SIGTERM; on Windows the console's
// Ctrl+C and Ctrl+Break), delivered by the event loop instead of ending the
// process, so a copy can be cancelled and the port closed first. One at a time.
class StopRequests : public QObject
{
    Q_OBJECT

public:
    explicit StopRequests(QObject *parent = nullptr);
    ~StopRequests() override;

signals:
    void requested();
};
