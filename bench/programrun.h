#pragma once

#include "measurement.h"

#include <QStringList>

// Downloads the phone folder's bench.jar through the program's own logic and main
// window (offscreen) from the phone simulator, started with these options, saving
// it through the prompts.
RunFigures runProgram(qint64 fileSize, const QString &phoneFolder, const QStringList &phoneOptions);
