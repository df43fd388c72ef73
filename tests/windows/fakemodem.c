/* Preloaded into Wine for the Windows tests (scripts/windows-wine). A pseudo-terminal
 * has no modem lines, so TIOCMGET, TIOCMBIS, TIOCMBIC and TIOCMSET fail there with
 * ENOTTY, and Wine then cancels the comm-event wait that Qt's serial port reads
 * by: nothing the phone sends would arrive. On a tty, answer them as a COM port
 * with a cable whose CTS, DSR and CD are up. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    int result = real(fd, request, arg);
    if (result < 0 && errno == ENOTTY && isatty(fd)) {
        switch (request) {
        case TIOCMGET:
            *(int *)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_RTS | TIOCM_DTR;
            return 0;
        case TIOCMBIS:
        case TIOCMBIC:
        case TIOCMSET:
            return 0;
        }
        errno = ENOTTY;
    }
    return result;
}
