// Notices when a client opens or closes the slave device. A real serial
// line loses what the phone sends while nobody listens; on a pseudo-terminal
// it would wait in the kernel for the next client instead, so the simulator
// needs to know when to throw it away.
#pragma once

#include <string>

class SessionWatch {
public:
    struct Events {
        bool opened = false;
        bool closed = false;
    };

    explicit SessionWatch(const std::string &slavePath);
    ~SessionWatch();
    SessionWatch(const SessionWatch &) = delete;
    SessionWatch &operator=(const SessionWatch &) = delete;

    // -1 when the system offers no watch; sessions then simply run on.
    int fd() const { return m_fd; }

    // Reads the pending notifications.
    Events readEvents();

private:
    int m_fd = -1;
};
