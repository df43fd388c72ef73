#pragma once

// Devices behind the COM numbers a search for the phone looks at: pseudo-terminals
// that never answer, and our phone simulator as a phone or as a modem of another
// kind. Every other MORVEX_COM<n> is cleared, so the candidates are these and the
// serial devices of the machine.
#include "app/serialdevices.h"
#include "support/phonesimulator.h"
#include "support/pseudoterminal.h"

#include <memory>
#include <vector>

struct SearchedPorts
{
    SearchedPorts()
    {
        for (int port = 1; port <= NumberedPortCount; ++port)
            qunsetenv(("MORVEX_COM" + QByteArray::number(port)).constData());
    }

    PseudoTerminal &silent(int port)
    {
        silentOnes.push_back(std::make_unique<PseudoTerminal>());
        silentOnes.back()->mapToPort(port);
        return *silentOnes.back();
    }

    // Null when it did not start.
    PhoneSimulator *simulator(int port, const QMap<QString, QByteArray> &files, const QStringList &options = {})
    {
        folders.push_back(std::make_unique<QTemporaryDir>());
        simulators.push_back(ServeFiles(*folders.back(), files, options));
        if (simulators.back())
            simulators.back()->mapToPort(port);
        return simulators.back().get();
    }

    std::vector<std::unique_ptr<QTemporaryDir>> folders;
    std::vector<std::unique_ptr<PseudoTerminal>> silentOnes;
    std::vector<std::unique_ptr<PhoneSimulator>> simulators;
};

// The lines of a not-found message about these ports, in its order: the machine's
// own devices are tried too.
inline QStringList linesAbout(const QString &message, const QStringList &ports)
{
    QStringList lines;
    for (const QString &line : message.split(QLatin1Char('\n'))) {
        if (ports.contains(line.section(QLatin1Char(':'), 0, 0)))
            lines.append(line);
    }
    return lines;
}
