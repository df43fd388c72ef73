#pragma once

#include <QString>

// Wall and CPU time of a stretch of work in this process, and the process's peak
// resident memory.
class Measurement
{
public:
    Measurement();

    double wallSeconds() const;
    double cpuSeconds() const;
    static double peakResidentMiB();

    // "target: <what>: met|missed (<figures>)", the line scripts/bench counts.
    static QString targetLine(const QString &what, bool met, const QString &figures);

private:
    static double processCpuSeconds();
    static double now();

    double m_wallStart;
    double m_cpuStart;
};
