#pragma once

#include "measurement.h"

#include <QString>

// Downloads a file of random bytes through the program's own logic and main
// window (offscreen) from the phone simulator, saving it through the prompts.
RunFigures runProgram(qint64 fileSize, const QString &phoneFolder);
