#include "phonesimulator.h"
#include "testfiles.h"

#include <csignal>
#include <sys/prctl.h>

PhoneSimulator::PhoneSimulator(const QString &folder, const QStringList &options)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A crashing test must not leave the simulator behind, holding CTest's output pipe.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_process.start(QStringLiteral(MORVEX_PHONE_PATH),
                    options + QStringList{"--log", m_logFolder.filePath("received.log"), folder});
    if (!m_process.waitForStarted(5000))
        return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_devicePath = QString::fromLocal8Bit(m_process.readLine()).trimmed();
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

QByteArray PhoneSimulator::received() const
{
    return readFile(m_logFolder.filePath("received.log"));
}

std::unique_ptr<PhoneSimulator> ServeFiles(const QTemporaryDir &folder, const QMap<QString, QByteArray> &files,
                                           const QStringList &options)
{
    for (auto file = files.begin(); file != files.end(); ++file) {
        if (!writeFile(folder.filePath(file.key()), file.value()))
            return nullptr;
    }
    auto phone = std::make_unique<PhoneSimulator>(folder.path(), options);
    return phone->devicePath().isEmpty() ? nullptr : std::move(phone);
}
