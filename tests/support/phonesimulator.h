#pragma once

#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Our phone simulator, running on a pseudo-terminal for the length of a test and
// keeping a log of every byte it receives.
class PhoneSimulator
{
public:
    PhoneSimulator(const QString &folder, const QStringList &options = {});
    ~PhoneSimulator();
    PhoneSimulator(const PhoneSimulator &) = delete;
    PhoneSimulator &operator=(const PhoneSimulator &) = delete;

    // The pseudo-terminal the program opens, empty when the simulator did not start.
    QString devicePath() const { return m_devicePath; }
    // Makes COM port n of the program open the simulator.
    void mapToPort(int port) const;
    // What the phone received so far.
    QByteArray received() const;

private:
    QTemporaryDir m_logFolder;
    QProcess m_process;
    QString m_devicePath;
};

// Puts the files in the folder and serves it; null if either failed.
std::unique_ptr<PhoneSimulator> ServeFiles(const QTemporaryDir &folder, const QMap<QString, QByteArray> &files,
                                           const QStringList &options = {});
