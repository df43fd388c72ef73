// The command-line tool as a user runs it, against our phone simulator on a
// pseudo-terminal.
#include "samples/jarbuilder.h"
#include "support/phonesimulator.h"
#include "support/testfiles.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

struct Outcome
{
    int status = -1;
    QByteArray out;
    QString err;
};

// A phone serving files of its own, and a folder for the tool to work in.
struct Cli
{
    QTemporaryDir phoneFolder;
    QTemporaryDir work;
    std::unique_ptr<PhoneSimulator> phone;
    QProcess process;

    [[nodiscard]] bool start(const QMap<QString, QByteArray> &files, const QStringList &options = {})
    {
        return (phone = ServeFiles(phoneFolder, files, options)) != nullptr;
    }
    QStringList workFiles() const { return QDir(work.path()).entryList(QDir::Files | QDir::Hidden); }
    QString workPath(const QString &name) const { return work.filePath(name); }

    // Starts the tool on the phone's port, or on none when there is no phone.
    void launch(const QStringList &arguments, const QStringList &environment = {})
    {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.remove(QStringLiteral("MORVEX_PORT"));
        for (const QString &variable : environment)
            variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
        process.setProcessEnvironment(variables);
        process.setWorkingDirectory(work.path());
        const QStringList port = phone ? QStringList{"--port", phone->devicePath()} : QStringList();
        process.start(QStringLiteral(MORVEX_CLI_PATH), port + arguments);
    }
    Outcome finish()
    {
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
            return {};
        return {process.exitCode(), process.readAllStandardOutput(),
                QString::fromUtf8(process.readAllStandardError())};
    }
    Outcome run(const QStringList &arguments, const QStringList &environment = {})
    {
        launch(arguments, environment);
        return finish();
    }
};

} // namespace

class CliTest : public QObject
{
    Q_OBJECT

private slots:
    void listsTheNamesInThePhonesOrder_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::newRow("echo on, cut anywhere") << QStringList{"--split", "anywhere", "--max-piece", "7", "--pause-us", "200"};
        QTest::newRow("echo off") << QStringList{"--no-echo"};
    }

    void listsTheNamesInThePhonesOrder()
    {
        QFETCH(QStringList, options);
        Cli cli;
        QVERIFY(QDir(cli.phoneFolder.path()).mkdir("games"));
        QVERIFY(cli.start({{"Игра.jar", "x"}, {"Тетрис.jad", "x"}, {"plain.jar", "x"}, {".hidden.jar", "x"}},
                          options));
        const Outcome listed = cli.run({"list"});
        QCOMPARE(listed.err, QString());
        QCOMPARE(listed.status, 0);
        // The simulator keeps its files in the order of their names' bytes.
        QCOMPARE(QString::fromUtf8(listed.out), QStringLiteral(".hidden.jar\nplain.jar\nИгра.jar\nТетрис.jad\n"));
    }

    void getCopiesByteForByte_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("output");
        QTest::addColumn<QString>("path");
        const QString game = QStringLiteral("Игра.jar");
        QTest::newRow("here, under the cleaned name")
            << QStringLiteral("bad\a\u202E.jar") << QStringList() << QStringLiteral("bad__.jar");
        QTest::newRow("--output names the file") << game << QStringList{"--output", "copy.jar"}
                                                 << QStringLiteral("copy.jar");
        QTest::newRow("--output names a folder") << game << QStringList{"-o", "."} << QStringLiteral("./Игра.jar");
    }

    void getCopiesByteForByte()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, output);
        QFETCH(QString, path);
        Cli cli;
        const QByteArray content = randomBytes(200000, 5);
        QVERIFY(cli.start({{name, content}}, {"--split", "anywhere", "--max-piece", "3000", "--pause-us", "100",
                                              "--chunk-width", "4096"}));
        const Outcome got = cli.run(QStringList{"get", name} + output);
        QCOMPARE(got.status, 0);
        QCOMPARE(got.out, QByteArray());
        QCOMPARE(got.err, QStringLiteral("Data Saved to: \"%1\"\n").arg(path));
        QCOMPARE(cli.workFiles(), QStringList{QFileInfo(path).fileName()});
        QCOMPARE(readFile(cli.workPath(path)), content);
    }

    void getMendsTheLineAndKeepsWhatThePhoneHolds_data()
    {
        QTest::addColumn<bool>("damagedOnPhone");
        QTest::newRow("damaged on the line") << false;
        QTest::newRow("damaged on the phone") << true;
    }

    void getMendsTheLineAndKeepsWhatThePhoneHolds()
    {
        QFETCH(bool, damagedOnPhone);
        QByteArray jar = BuildJar({{"a.bin", randomBytes(5000, 6)}, {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0"}}).bytes;
        if (damagedOnPhone)
            jar[100] = char(jar[100] ^ 1);
        Cli cli;
        QVERIFY(cli.start({{"app.jar", jar}}, {"--corrupt-read", "1"}));
        const Outcome got = cli.run({"get", "app.jar"});
        QCOMPARE(got.status, damagedOnPhone ? 3 : 0);
        QCOMPARE(readFile(cli.workPath("app.jar")), jar);
        QCOMPARE(got.err.contains(QStringLiteral("повреждён на телефоне: a.bin")), damagedOnPhone);
    }

    void getReplacesAFileOnlyWhenForced()
    {
        Cli cli;
        QVERIFY(cli.start({{"a.jar", "new"}}));
        QVERIFY(writeFile(cli.workPath("a.jar"), "old"));

        const Outcome refused = cli.run({"get", "a.jar"});
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.err, QStringLiteral("Файл «a.jar» уже есть; --force заменит его.\n"));
        QCOMPARE(cli.phone->received(), QByteArray()); // nothing was even asked
        QCOMPARE(readFile(cli.workPath("a.jar")), QByteArray("old"));

        QCOMPARE(cli.run({"get", "a.jar", "--force", "--quiet"}).status, 0);
        QCOMPARE(readFile(cli.workPath("a.jar")), QByteArray("new"));

        // A folder in the file's place cannot be written: one attempt, then status 1.
        QVERIFY(QDir(cli.work.path()).mkdir("sub"));
        QVERIFY(QDir(cli.work.path()).mkpath("sub/a.jar"));
        const Outcome blocked = cli.run({"get", "a.jar", "--output", "sub", "--force"});
        QCOMPARE(blocked.status, 1);
        QCOMPARE(blocked.err, QStringLiteral("Saving Failed: \"sub/a.jar\"\nIs a directory\n"));
    }

    void getAllKeepsWhatIsThereAndNamesWhatFailed()
    {
        Cli cli;
        const QMap<QString, QByteArray> files{{"a.jar", "aaa"}, {"Игра.jar", randomBytes(7000, 1)}, {"c.jad", "ccc"}};
        QVERIFY(cli.start(files, {"--fail-read", "2"}));
        const QStringList order = files.keys(); // the simulator's order too
        QVERIFY(writeFile(cli.workPath(order.at(0)), "mine"));

        const Outcome run = cli.run({"get-all", "."});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out, QByteArray());
        QCOMPARE(run.err, QStringLiteral("Скопировано файлов: 2 из 3\n%1: Ошибочная комманда\n").arg(order.at(1)));
        const QString first = QFileInfo(order.at(0)).completeBaseName() + " (2)." + QFileInfo(order.at(0)).suffix();
        QCOMPARE(readFile(cli.workPath(order.at(0))), QByteArray("mine"));
        QCOMPARE(readFile(cli.workPath(first)), files.value(order.at(0)));
        QCOMPARE(readFile(cli.workPath(order.at(2))), files.value(order.at(2)));
        QCOMPARE(cli.workFiles().size(), 3);
    }

    void atPrintsTheAnswerWithoutTheEcho_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QString>("err");
        const QStringList cut{"--split", "anywhere", "--max-piece", "3", "--pause-us", "200"};
        const QString charset = QStringLiteral("AT+CSCS?");
        const QByteArray itsAnswer = "+CSCS: \"IRA\"\nOK\n";
        QTest::newRow("echo on, cut anywhere") << cut << charset << 0 << itsAnswer << QString();
        QTest::newRow("echo off") << QStringList{"--no-echo"} << charset << 0 << itsAnswer << QString();
        QTest::newRow("ERROR") << cut << QStringLiteral("AT+NONE") << 1 << QByteArray("ERROR\n")
                               << QStringLiteral("Ошибочная комманда\n");
        QTest::newRow("no result code in time") << QStringList{"--rate", "1"} << QStringLiteral("AT") << 1
                                                << QByteArray() << QStringLiteral("Телефон не ответил за 1 с.\n");
    }

    void atPrintsTheAnswerWithoutTheEcho()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, command);
        Cli cli;
        QVERIFY(cli.start({}, options));
        const QStringList timeout = options.contains("--rate") ? QStringList{"--timeout", "1"} : QStringList();
        const Outcome answered = cli.run(QStringList{"at", command} + timeout);
        QTEST(answered.status, "status");
        QTEST(answered.out, "out");
        QTEST(answered.err, "err");
    }

    void refusesWhatItCannotDo_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("err");
        const auto row = [](const char *name, const QStringList &arguments, const QStringList &environment,
                            int status, const char *err) {
            QTest::newRow(name) << arguments << environment << status << QString::fromUtf8(err);
        };
        row("no such device", {"--port", "/dev/ttyMISSING", "list"}, {}, 1,
            "1 /dev/ttyMISSING: No such file or directory. Pick the phone's device");
        row("a numbered port, pointed nowhere", {"--port", "7", "list"}, {"MORVEX_COM7=/dev/ttyMISSING"}, 1,
            "or set MORVEX_COM7 to it");
        row("the port from MORVEX_PORT", {"get-all", "."}, {"MORVEX_PORT=/dev/ttyMISSING"}, 1, "1 /dev/ttyMISSING: ");
        row("no port", {"list"}, {}, 2, "не указан порт");
        row("no command", {"--port", "5"}, {}, 2, "не указана команда");
        row("unknown command", {"--port", "5", "copy"}, {}, 2, "нет такой команды: copy");
        row("get without a name", {"--port", "5", "get"}, {}, 2, "команде get нужно аргументов: 1");
        row("--output for list", {"--port", "5", "list", "-o", "x"}, {}, 2, "--output и --force только для команды get");
        row("a speed not offered", {"--port", "5", "--speed", "1200", "list"}, {}, 2, "скорость 1200 не из списка");
        row("an unknown option", {"--port", "5", "--baud", "9600", "list"}, {}, 2, "baud");
    }

    void refusesWhatItCannotDo()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, err);
        Cli cli;
        const Outcome refused = cli.run(arguments, environment);
        QTEST(refused.status, "status");
        QCOMPARE(refused.out, QByteArray());
        QVERIFY2(refused.err.contains(err), qPrintable(refused.err));
    }

    void stopInAPieceSavesNothingAndFreesThePort_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("err");
        QTest::newRow("get, Ctrl+C") << QStringList{"get", "slow.jar"} << SIGINT
                                     << QStringLiteral("Копирование прервано, файл не сохранён.\n");
        QTest::newRow("get-all, terminated") << QStringList{"get-all", "."} << SIGTERM
                                             << QStringLiteral("Скопировано файлов: 0 из 1 (отменено)\n");
    }

    void stopInAPieceSavesNothingAndFreesThePort()
    {
        QFETCH(QStringList, command);
        QFETCH(int, signal);
        Cli cli;
        // About 1.3 seconds a full piece.
        QVERIFY(cli.start({{"slow.jar", randomBytes(200000, 9)}}, {"--rate", "100000"}));
        cli.launch(command);
        QTRY_VERIFY_WITH_TIMEOUT(cli.phone->received().contains("AT*ERIF"), 10000);
        QTest::qWait(300);
        QCOMPARE(::kill(pid_t(cli.process.processId()), signal), 0);
        const Outcome stopped = cli.finish();
        QCOMPARE(stopped.status, 130);
        QTEST(stopped.err, "err");
        QCOMPARE(cli.workFiles(), QStringList());

        // The phone saw the line closed: it dropped the rest of the piece, so the
        // next user of the port gets a clean listing.
        const Outcome next = cli.run({"list"});
        QCOMPARE(next.status, 0);
        QCOMPARE(next.out, QByteArray("slow.jar\n"));
    }

    void hangUpIsALostDevice()
    {
        Cli cli;
        QVERIFY(cli.start({{"long.jar", randomBytes(300000, 4)}}, {"--hangup-after", "1"}));
        const Outcome lost = cli.run({"get", "long.jar"});
        QCOMPARE(lost.status, 1);
        QVERIFY2(lost.err.contains(QStringLiteral("%1: связь с телефоном потеряна").arg(cli.phone->devicePath())),
                 qPrintable(lost.err));
        QVERIFY(lost.err.endsWith(QStringLiteral("\nКопирование прервано, файл не сохранён.\n")));
        QCOMPARE(cli.workFiles(), QStringList());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
