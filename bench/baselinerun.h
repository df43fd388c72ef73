#pragma once

#include "programrun.h"

// How the minimal client sets up the line.
enum class LineSettings {
    // XON/XOFF flow control on, as the program sets up its port on Connect. The
    // kernel then examines every received byte for the flow-control characters,
    // which on a pseudo-terminal costs more than the reading itself.
    AsProgram,
    // Plain raw mode: the fastest the simulator and the pseudo-terminal can go.
    Raw,
};

// The speed limit of the simulator and the pseudo-terminal: a minimal client
// sends the program's read requests and only reads until each "OK".
RunFigures runBaseline(qint64 fileSize, const QString &phoneFolder, LineSettings settings,
                       const QStringList &phoneOptions);
