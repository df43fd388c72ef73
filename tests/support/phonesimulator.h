#pragma once

#include <QMap>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

#ifndef Q_OS_WIN
#include <QProcess>
#endif

// Our phone simulator, running on a pseudo-terminal for the length of a test and
// keeping a log of every byte it receives. Under Wine a Windows program can start
// a Linux one but cannot stop it, so there the test runner's phone loop runs it on
// request (tests/windows/run-under-wine).
class PhoneSimulator
{
public:
    PhoneSimulator(const QString &folder, const QStringList &options = {});
    ~PhoneSimulator();
    PhoneSimulator(const PhoneSimulator &) = delete;
    PhoneSimulator &operator=(const PhoneSimulator &) = delete;

    // The pseudo-terminal the program opens (the --link to it, if one is given),
    // empty when the simulator did not start.
    QString devicePath() const { return m_devicePath; }
    // Makes COM port n of the program open the simulator.
    void mapToPort(int port) const;
    // What the phone received so far.
    QByteArray received() const;

private:
    QString logPath() const { return m_logFolder.filePath(QStringLiteral("received.log")); }

    QTemporaryDir m_logFolder;
    QString m_devicePath;
#ifdef Q_OS_WIN
    QString m_requests; // the path of this phone's request files, without the ending
#else
    QProcess m_process;
#endif
};

// Puts the files in the folder and serves it; null if either failed.
std::unique_ptr<PhoneSimulator> ServeFiles(const QTemporaryDir &folder, const QMap<QString, QByteArray> &files,
                                           const QStringList &options = {});

// Options of a phone that drops the line after its hangUpAfter-th read reply and is
// back the given seconds later, behind the link in folder.
inline QStringList ReturningPhone(const QTemporaryDir &folder, int hangUpAfter, int awaySeconds = 1)
{
    return {"--hangup-after", QString::number(hangUpAfter), "--return-after", QString::number(awaySeconds), "--link",
            folder.filePath(QStringLiteral("phone-link"))};
}
