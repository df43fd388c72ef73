#pragma once

#include <QString>
#include <QStringList>

// The port to be found by a search before the command.
inline const QString AutoPort = QStringLiteral("auto");

// What the user asked the tool to do.
struct Request
{
    enum class Command { Ports, Find, List, Get, GetAll, At };

    Command command = Command::List;
    QString port;        // as the port field takes it, or AutoPort
    QString speed;       // one of the offered speeds
    bool quiet = false;
    QString name;        // get: the application's readable name, as the phone has it
    QString output;      // get: a file, or a folder to save into; empty for here
    bool force = false;  // get: may replace an existing file
    QString folder;      // get-all
    QString atCommand;   // at
    int timeoutSeconds = 10; // the longest silence while an answer is owed
    int waitSeconds = 60;    // how long a copy waits for a lost phone; 0 not at all
};

struct ParsedArguments
{
    enum class Outcome { Run, Help, Version, UsageError };

    Outcome outcome = Outcome::UsageError;
    Request request;
    // The help or version text, or what is wrong with the arguments.
    QString text;
};

// Reads the command line (the program's name first); portFromEnvironment is
// MORVEX_PORT, used when no --port is given.
ParsedArguments ParseArguments(const QStringList &arguments, const QString &portFromEnvironment);
