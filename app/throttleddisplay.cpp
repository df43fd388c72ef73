#include "throttleddisplay.h"

ThrottledDisplay::ThrottledDisplay(std::chrono::milliseconds interval, Show show, QObject *parent)
    : QObject(parent)
    , m_show(std::move(show))
{
    m_interval.setSingleShot(true);
    m_interval.setInterval(interval);
    connect(&m_interval, &QTimer::timeout, this, &ThrottledDisplay::showWaiting);
}

void ThrottledDisplay::setValue(qint64 value)
{
    if (m_interval.isActive())
        m_waiting = value;
    else
        showNow(value);
}

void ThrottledDisplay::showNow(qint64 value)
{
    m_waiting.reset();
    m_show(value);
    m_interval.start();
}

void ThrottledDisplay::showWaiting()
{
    if (m_waiting)
        showNow(*m_waiting);
}
