#pragma once

#include <QString>

// The commands that select the phone's character set.
namespace CharsetCommand {
inline const QString SelectGsm = QStringLiteral("AT+CSCS=\"GSM\"");
inline const QString SelectUtf8 = QStringLiteral("AT+CSCS=\"UTF-8\"");
} // namespace CharsetCommand
