// The pseudo-terminal that stands in for the phone's serial cable.
#pragma once

#include <cstddef>
#include <string>

class PtyCable {
public:
    PtyCable() = default;
    ~PtyCable();
    PtyCable(const PtyCable &) = delete;
    PtyCable &operator=(const PtyCable &) = delete;

    // Opens the master (non-blocking) and keeps a raw slave end of our own,
    // so that the line survives the client's connects and disconnects.
    bool open(std::string &error);

    int masterFd() const { return m_master; }
    const std::string &slavePath() const { return m_slavePath; }

    // Bytes already sent but not yet read by the client.
    std::size_t unreadByClient() const;

    // After a client closed the line: drops what it left unread and any
    // exclusive use it claimed.
    void resetAfterClient();

    // Closes both ends, as when the cable is pulled.
    void close();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};
