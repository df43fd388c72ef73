#pragma once

#include <QProcess>
#include <QStringList>

// Our phone simulator, running on a pseudo-terminal for the length of a test.
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

private:
    QProcess m_process;
    QString m_devicePath;
};
