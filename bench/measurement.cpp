#include "measurement.h"

#include <sys/resource.h>
#include <time.h>

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
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return RunFigures{wallSeconds(), processCpuSeconds() - m_cpuStart, usage.ru_maxrss / 1024.0,
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
