#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

// Shows a number that may change thousands of times a second, such as the length
// of the last received piece, at most once per interval. A change is shown at once
// when nothing was shown lately, otherwise when the interval ends, so the latest
// value always reaches the screen. Painting for every piece of a fast phone would
// hold up the reading of the next one.
class ThrottledDisplay : public QObject
{
    Q_OBJECT

public:
    using Show = std::function<void(qint64)>;

    ThrottledDisplay(std::chrono::milliseconds interval, Show show, QObject *parent = nullptr);

    void setValue(qint64 value);
    // Shows the value at once, dropping any value still waiting for its turn.
    void showNow(qint64 value);

private:
    void showWaiting();

    const Show m_show;
    // Runs for one interval after each showing.
    QTimer m_interval;
    std::optional<qint64> m_waiting;
};
