#pragma once

#include <QString>

struct RunFigures
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakResidentMiB = 0;
    // Minor page faults: each first touch of a fresh page of memory costs a trip
    // into the kernel, which shows up as system time.
    qint64 pageFaults = 0;
    bool intact = false;
    // The program: from the double-click to the Save dialog, the copy without the saving.
    double dialogSeconds = 0;
    // The minimal client: every byte it read off the line.
    qint64 bytesRead = 0;
};

// Wall and CPU time and page faults of a stretch of work in this process, and the
// process's peak resident memory.
class Measurement
{
public:
    Measurement();

    double wallSeconds() const;
    // The figures from construction until now.
    RunFigures figures(bool intact) const;

    // "target: <what>: met|missed (<figures>)", the line scripts/bench counts.
    static QString targetLine(const QString &what, bool met, const QString &figures);

private:
    static double processCpuSeconds();
    static qint64 processPageFaults();
    static double now();

    double m_wallStart;
    double m_cpuStart;
    qint64 m_pageFaultsStart;
};
