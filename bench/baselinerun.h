#pragma once

#include "programrun.h"

// The speed limit of the simulator and the pseudo-terminal: a minimal client
// sends the program's read requests and only reads until each "OK".
RunFigures runBaseline(qint64 fileSize, const QString &phoneFolder);
