#pragma once

#include <QStringList>

// The serial devices present now, as the user names them in the port field: the
// system path on Linux (/dev/ttyACM0), the port name on Windows (COM7).
QStringList SerialDeviceNames();
