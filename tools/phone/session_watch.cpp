#include "session_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

SessionWatch::SessionWatch(const std::string &slavePath)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && inotify_add_watch(m_fd, slavePath.c_str(), IN_OPEN | IN_CLOSE) < 0) {
        close(m_fd);
        m_fd = -1;
    }
}

SessionWatch::~SessionWatch()
{
    if (m_fd >= 0)
        close(m_fd);
}

SessionWatch::Events SessionWatch::readEvents()
{
    Events events;
    if (m_fd < 0)
        return events;
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(m_fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            events.opened = events.opened || (event->mask & IN_OPEN);
            events.closed = events.closed || (event->mask & IN_CLOSE);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return events;
}
