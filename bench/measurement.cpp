#include "measurement.h"

#include <QFile>

#include <sys/resource.h>
#include <time.h>

namespace {

// The peak resident size of this process's own memory, in MiB. Not ru_maxrss: a
// child keeps the peak of the parent it was forked from across exec, so a bench
// that holds a 16 MiB JAR twice would lend its children those 32 MiB and more.
double peakResidentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

Measurement::Measurement()
    : m_wallStart(now())
    , m_cpuStart(processCpuSeconds())
    , m_pageFaultsStart(processPageFaults())
{
}

double Measurement::wallSeconds() const
{
    return now() - m_wallStart;
}

RunFigures Measurement::figures(bool intact) const
{
    return RunFigures{wallSeconds(), processCpuSeconds() - m_cpuStart, peakResidentMiB(),
                      processPageFaults() - m_pageFaultsStart, intact};
}

QString Measurement::targetLine(const QString &what, bool met, const QString &figures)
{
    return QStringLiteral("target: %1: %2 (%3)").arg(what, met ? QStringLiteral("met") : QStringLiteral("missed"), figures);
}

double Measurement::processCpuSeconds()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return time.tv_sec + time.tv_nsec / 1e9;
}

qint64 Measurement::processPageFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double Measurement::now()
{
    timespec time{};
    clock_gettime(CLOCK_MONOTONIC, &time);
    return time.tv_sec + time.tv_nsec / 1e9;
}
