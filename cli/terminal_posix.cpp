#include "terminal.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace Terminal {

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

int stderrColumns()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

void useUtf8Output()
{
    // Terminals here take the bytes as they come.
}

void surviveClosedOutput()
{
    ::signal(SIGPIPE, SIG_IGN);
}

} // namespace Terminal
