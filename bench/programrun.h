#pragma once

#include <QString>

struct RunFigures
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakResidentMiB = 0;
    bool intact = false;
};

// Downloads a file of random bytes through the program's own logic and main
// window (offscreen) from the phone simulator, saving it through the prompts.
RunFigures runProgram(qint64 fileSize, const QString &phoneFolder);
