// morvex-phone: a phone on a pseudo-terminal, for trying and testing Morvex
// without a real phone.
#include "options.h"
#include "phone_engine.h"
#include "pty_cable.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <poll.h>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

bool writePathFile(const std::string &file, const std::string &path)
{
    std::FILE *out = std::fopen(file.c_str(), "w");
    if (!out)
        return false;
    const bool written = std::fprintf(out, "%s\n", path.c_str()) > 0;
    return std::fclose(out) == 0 && written;
}

// Points the link at the line, replacing the old one in one step.
bool pointLink(const std::string &link, const std::string &path)
{
    const std::string fresh = link + ".new";
    unlink(fresh.c_str());
    return symlink(path.c_str(), fresh.c_str()) == 0 && rename(fresh.c_str(), link.c_str()) == 0;
}

// Announces the line: by the link, in the path file and on standard output, in
// that order, since whoever has read the path may open the line by the link.
bool announce(const Options &options, const std::string &path)
{
    if (!options.linkPath.empty() && !pointLink(options.linkPath, path)) {
        std::perror(("morvex-phone: " + options.linkPath).c_str());
        return false;
    }
    if (!options.pathFile.empty() && !writePathFile(options.pathFile, path)) {
        std::perror(("morvex-phone: " + options.pathFile).c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const ParsedOptions parsed = parseOptions(argc, argv);
    if (parsed.outcome == ParsedOptions::Outcome::Help) {
        std::fputs(usageText(argv[0]).c_str(), stdout);
        return 0;
    }
    if (parsed.outcome == ParsedOptions::Outcome::Error) {
        std::fprintf(stderr, "morvex-phone: %s\n\n%s", parsed.error.c_str(), usageText(argv[0]).c_str());
        return 2;
    }
    const Options &options = parsed.options;

    struct stat folderInfo {};
    if (stat(options.folder.c_str(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode)) {
        std::fprintf(stderr, "morvex-phone: not a folder: %s\n", options.folder.c_str());
        return 1;
    }

    int logFd = -1;
    if (!options.logFile.empty()) {
        logFd = open(options.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (logFd < 0) {
            std::perror(("morvex-phone: " + options.logFile).c_str());
            return 1;
        }
    }

    // The stop signals stay blocked except while waiting in ppoll, so a stop
    // request cannot slip in between the flag check and the wait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    PtyCable cable;
    std::string error;
    if (!cable.open(error)) {
        std::fprintf(stderr, "morvex-phone: %s\n", error.c_str());
        return 1;
    }
    PhoneEngine engine(options, cable, logFd);

    // The link goes with the cable: a client that looks for it meanwhile finds none.
    engine.onHangup = [&options] {
        if (!options.linkPath.empty())
            unlink(options.linkPath.c_str());
    };

    // The path is announced only once the line is ready to answer.
    if (!announce(options, cable.slavePath()))
        return 1;

    engine.run(stopRequested, waitMask);
    if (engine.hungUp() && options.returnAfter != 0) {
        timespec away { static_cast<time_t>(options.returnAfter), 0 };
        while (!stopRequested && ppoll(nullptr, 0, &away, &waitMask) < 0 && errno == EINTR) {
        }
        if (!stopRequested) {
            if (!cable.open(error)) {
                std::fprintf(stderr, "morvex-phone: %s\n", error.c_str());
                return 1;
            }
            engine.reconnect();
            if (!announce(options, cable.slavePath()))
                return 1;
            engine.run(stopRequested, waitMask);
        }
    }
    if (!options.linkPath.empty())
        unlink(options.linkPath.c_str());
    if (logFd >= 0)
        close(logFd);
    return 0;
}
