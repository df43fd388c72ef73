#include "phonesimulator.h"
#include "testfiles.h"

#include <QDir>
#include <QTest>

#include <windows.h>

namespace {

// A Windows path as a Linux program sees it, which only Wine knows.
QString unixPath(const QString &path)
{
    using ToUnix = char *(CDECL *)(const wchar_t *);
    static const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char *converted = toUnix ? toUnix(QDir::toNativeSeparators(path).toStdWString().c_str()) : nullptr;
    const QString result = QString::fromUtf8(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

// Hands the phone loop a request, whole, and waits until it has been carried out.
bool request(const QString &file, const QByteArray &text)
{
    return writeFile(file + ".part", text) && QFile::rename(file + ".part", file)
           && QTest::qWaitFor([&] { return !QFile::exists(file); }, 5000);
}

} // namespace

PhoneSimulator::PhoneSimulator(const QString &folder, const QStringList &options)
{
    static int phones = 0;
    m_requests = QDir(qEnvironmentVariable("MORVEX_PHONE_REQUESTS")).filePath(QString::number(++phones));
    QStringList arguments = options + QStringList{"--log", unixPath(logPath()), unixPath(folder)};
    const qsizetype link = arguments.indexOf(QStringLiteral("--link")) + 1;
    if (link > 0)
        arguments[link] = unixPath(arguments[link]);
    if (!request(m_requests + ".start", arguments.join('\n').toUtf8() + '\n'))
        return;
    const QString pathFile = m_requests + ".path";
    if (QTest::qWaitFor([&] { return readFile(pathFile).endsWith('\n'); }, 5000))
        m_devicePath = QString::fromUtf8(readFile(pathFile)).trimmed();
    // A phone that comes back does so on a new line; its link names them all, and
    // is away while the cable is out, as the COM port pointed at it then is.
    if (link > 0 && !m_devicePath.isEmpty())
        m_devicePath = arguments[link];
}

PhoneSimulator::~PhoneSimulator()
{
    (void)request(m_requests + ".stop", {});
}

void PhoneSimulator::mapToPort(int port) const
{
    (void)request(m_requests + ".com", QByteArray::number(port) + '\n' + m_devicePath.toUtf8() + '\n');
}
