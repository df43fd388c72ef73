#include "baselinerun.h"

#include "measurement.h"
#include "phonefs/download.h"
#include "phonefs/listing.h"
#include "support/phonesimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView ReplyEnd = "\r\nOK\r\n";

// Counts what it reads into `bytesRead`.
bool readUntilOk(int fd, qint64 &bytesRead)
{
    char tail[6] = {};
    char buffer[65536];
    for (;;) {
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 10000) <= 0)
            return false;
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count <= 0)
            return false;
        bytesRead += count;
        // Only the last six bytes matter: is this the end of the reply?
        const qsizetype keep = qMin<qsizetype>(count, 6);
        memmove(tail, tail + keep, 6 - keep);
        memcpy(tail + 6 - keep, buffer + count - keep, keep);
        if (QByteArrayView(tail, 6) == ReplyEnd)
            return true;
    }
}

} // namespace

RunFigures runBaseline(qint64 fileSize, const QString &phoneFolder, LineSettings settings,
                       const QStringList &phoneOptions)
{
    PhoneSimulator phone(phoneFolder, phoneOptions);
    const int fd = ::open(phone.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return {};
    termios attributes{};
    tcgetattr(fd, &attributes);
    cfmakeraw(&attributes);
    if (settings == LineSettings::AsProgram)
        attributes.c_iflag |= IXON | IXOFF;
    tcsetattr(fd, TCSANOW, &attributes);

    const QByteArray path = (ApplicationFolder + QStringLiteral("bench.jar")).toLatin1();
    const qint64 requests = fileSize / PieceLength + 1;
    const Measurement measurement;
    bool complete = true;
    qint64 bytesRead = 0;
    for (qint64 index = 0; index < requests && complete; ++index) {
        const QByteArray request = ChunkCommand(path, index).toLatin1() + '\r';
        complete = ::write(fd, request.constData(), request.size()) == request.size() && readUntilOk(fd, bytesRead);
    }
    RunFigures figures = measurement.figures(complete);
    figures.bytesRead = bytesRead;
    ::close(fd);
    return figures;
}
