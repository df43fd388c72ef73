#include "arguments.h"

#include "printednames.h"
#include "app/linesettings.h"

#include <QCommandLineParser>

namespace {

const QString Commands = QStringLiteral(R"(
Commands:
  ports                 the serial devices present, one a line
  find                  looks for the phone on every serial port present, all
                        at once and for 3 s at most, and prints its port as
                        the window's port field names it (its COM number
                        where one names the device); without a phone, says
                        what each port did
  list                  the applications on the phone, one name a line (UTF-8),
                        in the phone's order; a control character in a name
                        is written \xNN, a backslash \\
  get NAME [--output PATH] [--force]
                        copies the application named NAME, written as list
                        writes it; without --output into the current folder
                        under its name
  get-all FOLDER        copies every application into FOLDER; a file already
                        there is kept and the copy named "Name (2).jar"
  at COMMAND            writes COMMAND to the phone and prints its answer
                        through the result code, without the echo)");

const QString ExitStatus = QStringLiteral(R"(
PORT is a COM port number (on Linux the device in MORVEX_COM<n>, else
/dev/ttyS<n-1>), a name such as COM7, a device path, or auto: the tool
first looks for the phone as find does. Without --port the environment
variable MORVEX_PORT names it.

Exit status:
  0    done
  1    failed: the phone not found, the port, an ERROR from the phone, a
       lost device, a file that could not be written, a file of get-all not
       copied, a phone silent for the time-out while an answer was owed,
       standard output closed
  2    wrong arguments
  3    saved, but the file is damaged on the phone
  130  interrupted by Ctrl+C or a termination request; no partial file is
       left and the port is closed
)");

// A day; more would overflow the milliseconds a timer counts in an int.
constexpr int LongestTimeout = 86400;

// As GNU tools state their licence.
const QString VersionText = QStringLiteral("morvex-cli (Morvex) " MORVEX_VERSION R"(
Copyright (C) 2026 Morvex developers
License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)");

struct CommandShape
{
    const char *name;
    Request::Command command;
    int arguments;
};

constexpr CommandShape Shapes[] = {
    {"ports", Request::Command::Ports, 0}, {"find", Request::Command::Find, 0},
    {"list", Request::Command::List, 0},
    {"get", Request::Command::Get, 1},     {"get-all", Request::Command::GetAll, 1},
    {"at", Request::Command::At, 1},
};

ParsedArguments usageError(const QString &text)
{
    return {ParsedArguments::Outcome::UsageError, {}, text};
}

} // namespace

ParsedArguments ParseArguments(const QStringList &arguments, const QString &portFromEnvironment)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Commands);
    parser.addPositionalArgument(QStringLiteral("COMMAND"), QStringLiteral("ports, find, list, get, get-all or at"),
                                 QStringLiteral("COMMAND [ARGUMENT]"));
    const QCommandLineOption port({QStringLiteral("p"), QStringLiteral("port")},
                                  QStringLiteral("The phone's serial port, or auto to find it."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption speed({QStringLiteral("s"), QStringLiteral("speed")},
                                   QStringLiteral("The line speed, 115200 unless given: %1.")
                                       .arg(OfferedSpeeds.join(QStringLiteral(", "))),
                                   QStringLiteral("SPEED"), QStringLiteral("115200"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress; the notes on what was saved only when "
                                                  "something failed."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("get: the file to write, or a folder to save into."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption force({QStringLiteral("f"), QStringLiteral("force")},
                                   QStringLiteral("get: replace a file that is already there."));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("How long the phone may stay silent while an answer is "
                                                    "owed, 1 to %1 (10).")
                                         .arg(LongestTimeout),
                                     QStringLiteral("SECONDS"), QStringLiteral("10"));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("get, get-all: how long a copy waits for a phone whose link was "
                                                 "lost, 0 to %1 (60); 0 ends the copy at once.")
                                      .arg(LongestTimeout),
                                  QStringLiteral("SECONDS"), QStringLiteral("60"));
    parser.addOptions({port, speed, quiet, output, force, timeout, wait});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help))
        return {ParsedArguments::Outcome::Help, {}, parser.helpText() + ExitStatus};
    if (parser.isSet(version))
        return {ParsedArguments::Outcome::Version, {}, VersionText};

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("не указана команда"));
    const QString commandName = positional.takeFirst();
    const CommandShape *shape = nullptr;
    for (const CommandShape &candidate : Shapes) {
        if (commandName == QLatin1String(candidate.name))
            shape = &candidate;
    }
    if (!shape)
        return usageError(QStringLiteral("нет такой команды: %1").arg(commandName));
    if (positional.size() != shape->arguments)
        return usageError(QStringLiteral("команде %1 нужно аргументов: %2").arg(commandName).arg(shape->arguments));

    Request request;
    request.command = shape->command;
    const bool get = request.command == Request::Command::Get;
    const bool at = request.command == Request::Command::At;
    if (!get && (parser.isSet(output) || parser.isSet(force)))
        return usageError(QStringLiteral("--output и --force только для команды get"));

    request.speed = parser.value(speed);
    if (!OfferedSpeeds.contains(request.speed))
        return usageError(QStringLiteral("скорость %1 не из списка: %2")
                              .arg(request.speed, OfferedSpeeds.join(QStringLiteral(", "))));
    bool number = false;
    request.timeoutSeconds = parser.value(timeout).toInt(&number);
    if (!number || request.timeoutSeconds < 1 || request.timeoutSeconds > LongestTimeout)
        return usageError(QStringLiteral("--timeout ждёт целое число секунд от 1 до %1").arg(LongestTimeout));
    request.waitSeconds = parser.value(wait).toInt(&number);
    if (!number || request.waitSeconds < 0 || request.waitSeconds > LongestTimeout)
        return usageError(QStringLiteral("--wait ждёт целое число секунд от 0 до %1").arg(LongestTimeout));

    request.port = parser.isSet(port) ? parser.value(port) : portFromEnvironment;
    const bool needsPort = request.command != Request::Command::Ports && request.command != Request::Command::Find;
    if (request.port.trimmed().isEmpty() && needsPort)
        return usageError(QStringLiteral("не указан порт: --port или MORVEX_PORT"));

    request.quiet = parser.isSet(quiet);
    request.force = parser.isSet(force);
    request.output = parser.value(output);
    if (get) {
        const std::optional<QString> name = NameFromPrinted(positional.value(0));
        if (!name)
            return usageError(QStringLiteral("в имени «%1» обратная косая черта пишется \\\\, а знак с кодом NN — "
                                             "\\xNN, как их пишет list")
                                  .arg(positional.value(0)));
        request.name = *name;
    }
    if (request.command == Request::Command::GetAll)
        request.folder = positional.value(0);
    if (at)
        request.atCommand = positional.value(0);
    return {ParsedArguments::Outcome::Run, request, {}};
}
