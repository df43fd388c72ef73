#include "stoprequests.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int StopSignals[] = {SIGINT, SIGTERM};
int g_pipe[2] = {-1, -1};

// All a signal handler may safely do: one byte to wake the event loop.
void noteStop(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    (void)!::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopRequests::StopRequests(QObject *parent)
    : QObject(parent)
{
    if (::pipe(g_pipe) != 0)
        qFatal("no pipe for the stop signals: %s", strerror(errno));
    for (const int end : g_pipe) {
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        emit requested();
    });
    struct sigaction action{};
    action.sa_handler = noteStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : StopSignals)
        ::sigaction(signal, &action, nullptr);
}

StopRequests::~StopRequests()
{
    for (const int signal : StopSignals)
        ::signal(signal, SIG_DFL);
    for (int &end : g_pipe) {
        ::close(end);
        end = -1;
    }
}
