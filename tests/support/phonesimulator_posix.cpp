#include "phonesimulator.h"

#include <csignal>
#include <sys/prctl.h>

PhoneSimulator::PhoneSimulator(const QString &folder, const QStringList &options)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A crashing test must not leave the simulator behind, holding CTest's output pipe.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral(MORVEX_PHONE_PATH), options + QStringList{"--log", logPath(), folder});
    if (!m_process.waitForStarted(5000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    // A phone that comes back does so on a new line; its link names them all.
    if (const qsizetype link = options.indexOf(QStringLiteral("--link")); link >= 0 && !m_devicePath.isEmpty())
        m_devicePath = options.value(link + 1);
}

PhoneSimulator::~PhoneSimulator()
{
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
}

void PhoneSimulator::mapToPort(int port) const
{
    qputenv("MORVEX_COM" + QByteArray::number(port), m_devicePath.toLocal8Bit());
}
