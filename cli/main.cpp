// morvex-cli: lists and copies the phone's applications from a shell or a script.
#include "arguments.h"
#include "console.h"
#include "job.h"
#include "stoprequests.h"
#include "terminal.h"
#include "app/serialdevices.h"
#include "charset/ansicodepage.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("morvex-cli"));
    Terminal::useUtf8Output();
    Terminal::surviveClosedOutput();

    const ParsedArguments parsed = ParseArguments(app.arguments(), qEnvironmentVariable("MORVEX_PORT"));
    switch (parsed.outcome) {
    case ParsedArguments::Outcome::Help:
    case ParsedArguments::Outcome::Version:
        std::fputs(parsed.text.toUtf8().constData(), stdout);
        return 0;
    case ParsedArguments::Outcome::UsageError:
        std::fprintf(stderr, "morvex-cli: %s\nmorvex-cli --help: команды и параметры\n",
                     parsed.text.toUtf8().constData());
        return 2;
    case ParsedArguments::Outcome::Run:
        break;
    }
    const Request &request = parsed.request;
    Console console(!request.quiet && Terminal::stderrIsTerminal());

    if (request.command == Request::Command::Ports) {
        for (const QString &device : SerialDeviceNames()) {
            if (!console.data(device.toUtf8()))
                return Job::Failed;
        }
        return Job::Done;
    }
    // Every command and path goes to the phone through this conversion.
    if (const std::optional<QString> fault = AnsiCodePage::conversionFault()) {
        console.say(*fault + QStringLiteral(" Morvex cannot talk to the phone."));
        return Job::Failed;
    }

    Job job(request, console);
    StopRequests stopRequests;
    QObject::connect(&stopRequests, &StopRequests::requested, &job, &Job::stop);
    // Queued: a command may be over before the event loop runs, and what is still
    // being handled when it ends is handled to its end.
    QObject::connect(&job, &Job::finished, &app, [](int status) { QCoreApplication::exit(status); },
                     Qt::QueuedConnection);
    job.start();
    const int status = QCoreApplication::exec();
    job.close();
    return status;
}
