#include "pty_cable.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyCable::~PtyCable()
{
    close();
}

bool PtyCable::open(std::string &error)
{
    auto fail = [&](const char *what) {
        error = std::string(what) + ": " + std::strerror(errno);
        close();
        return false;
    };

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return fail("posix_openpt");
    if (grantpt(m_master) != 0)
        return fail("grantpt");
    if (unlockpt(m_master) != 0)
        return fail("unlockpt");
    const char *path = ptsname(m_master);
    if (!path)
        return fail("ptsname");
    m_slavePath = path;

    m_slave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open slave");
    // Raw from the start: with the default cooked settings the line discipline
    // would echo our replies back to us until a client sets its own mode.
    termios settings {};
    if (tcgetattr(m_slave, &settings) != 0)
        return fail("tcgetattr");
    cfmakeraw(&settings);
    if (tcsetattr(m_slave, TCSANOW, &settings) != 0)
        return fail("tcsetattr");
    return true;
}

std::size_t PtyCable::unreadByClient() const
{
    int pending = 0;
    if (m_slave < 0 || ioctl(m_slave, FIONREAD, &pending) != 0 || pending < 0)
        return 0;
    return static_cast<std::size_t>(pending);
}

void PtyCable::resetAfterClient()
{
    if (m_slave < 0)
        return;
    tcflush(m_slave, TCIFLUSH);
    // A client that died while holding exclusive use must not lock out the next one.
    ioctl(m_slave, TIOCNXCL);
}

void PtyCable::close()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = -1;
    m_master = -1;
}
