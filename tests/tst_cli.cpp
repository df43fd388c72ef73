// The command-line tool as a user runs it, against our phone simulator on a
// pseudo-terminal.
#include "cli/printednames.h"
#include "samples/jarbuilder.h"
#include "support/phonereplies.h"
#include "support/phonesimulator.h"
#include "support/pseudoterminal.h"
#include "support/searchedports.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Outcome
{
    int status = -1;
    QByteArray out;
    QString err;

    bool operator==(const Outcome &other) const
    {
        return status == other.status && out == other.out && err == other.err;
    }
};

char *toString(const Outcome &outcome)
{
    const QString text = QStringLiteral("status %1, out \"%2\", err \"%3\"");
    return QTest::toString(text.arg(QString::number(outcome.status), QString::fromUtf8(outcome.out), outcome.err));
}

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
    // One phone for each way of sending its replies; the commands on it are independent.
    void listAndAtShowWhatThePhoneSaid_data()
    {
        QTest::addColumn<QStringList>("options");
        const QStringList cut{"--split", "anywhere", "--pause-us", "200", "--max-piece"};
        QTest::newRow("echo on, cut anywhere into 7") << cut + QStringList{"7"};
        QTest::newRow("echo on, cut anywhere into 3") << cut + QStringList{"3"};
        QTest::newRow("echo off") << QStringList{"--no-echo"};
    }

    void listAndAtShowWhatThePhoneSaid()
    {
        QFETCH(QStringList, options);
        Cli cli;
        QVERIFY(QDir(cli.phoneFolder.path()).mkdir("games"));
        QVERIFY(cli.start({{"Игра.jar", "x"}, {"Тетрис.jad", "x"}, {"plain.jar", "x"}, {".hidden.jar", "x"},
                           {"two\nlines\x1b[2J.jar", "x"}, {"back\\slash.jar", "x"}},
                          options));
        // The simulator keeps its files in the order of their names' bytes.
        QCOMPARE(cli.run({"list"}), (Outcome{0, u".hidden.jar\nback\\\\slash.jar\nplain.jar\n"
                                                u"two\\x0Alines\\x1B[2J.jar\nИгра.jar\nТетрис.jad\n"_s.toUtf8(), {}}));
        // The answer without the echo.
        QCOMPARE(cli.run({"at", "AT+CSCS?"}), (Outcome{0, "+CSCS: \"IRA\"\nOK\n", {}}));
        QCOMPARE(cli.run({"at", "AT+NONE"}), (Outcome{1, "ERROR\n", u"Ошибочная комманда\n"_s}));

        // Into a pipe whose reader is gone: no SIGPIPE, but status 1 and the reason.
        cli.process.setChildProcessModifier([] {
            if (int ends[2]; ::pipe(ends) == 0 && ::dup2(ends[1], STDOUT_FILENO) >= 0)
                ::close(ends[0]);
        });
        for (const QStringList &command : {QStringList{"list"}, {"at", "AT"}}) {
            const Outcome unread = cli.run(command);
            QCOMPARE(unread.status, 1);
            QVERIFY2(unread.err.startsWith(u"Не удалось записать в стандартный вывод: "_s)
                         && unread.err.count('\n') == 1, qPrintable(unread.err));
        }
    }

    // Every command gives up on a phone silent for the time-out, and only then.
    void givesUpOnASilentPhone()
    {
        const QString silent = u"Телефон не ответил за 1 с."_s;
        PseudoTerminal nobody; // a device that never answers
        Cli bare;
        for (const QStringList &command : {QStringList{"at", "AT"}, {"list"}, {"get", "a.jar"}})
            QCOMPARE(bare.run(QStringList{"--port", nobody.slavePath(), "--timeout", "1"} + command),
                     (Outcome{1, {}, silent + '\n'}));
        // Its replies lack the echo that tells a copy which reply is the file's.
        Cli noEcho;
        QVERIFY(noEcho.start({{"a.jar", "x"}}, {"--no-echo"}));
        QCOMPARE(noEcho.run({"get", "a.jar", "--timeout", "1"}),
                 (Outcome{1, {}, silent + u" Эхо команд у него выключено, а без эха ответ не распознать; "
                                          "включит эхо команда ATE1 (morvex-cli at ATE1).\n"_s}));
        // A reply of 1.6 s that never pauses for long.
        Cli slow;
        QVERIFY(slow.start({}, {"--rate", "20"}));
        QCOMPARE(slow.run({"at", "AT+CSCS?", "--timeout", "1"}), (Outcome{0, "+CSCS: \"IRA\"\nOK\n", {}}));
    }

    // find, --port auto and MORVEX_PORT=auto all search; then the phone is taken away.
    void findsThePhoneBehindAnyPort()
    {
        SearchedPorts ports;
        ports.silent(3);
        QVERIFY(ports.simulator(4, {}, {"--not-a-phone"}));
        PhoneSimulator *phone = ports.simulator(7, {{"a.jar", "aaa"}});
        QVERIFY(phone);
        Cli cli;
        QCOMPARE(cli.run({"find"}), (Outcome{0, "7\n", {}}));
        QCOMPARE(cli.run({"--port", "auto", "list"}), (Outcome{0, "a.jar\n", {}}));
        QCOMPARE(cli.run({"get", "a.jar"}, {"MORVEX_PORT=auto"}), (Outcome{0, {}, u"Data Saved to: \"a.jar\"\n"_s}));
        QCOMPARE(readFile(cli.workPath("a.jar")), QByteArray("aaa"));
        QCOMPARE(cli.run({"--port", "auto", "at", "AT+CSCS?"}), (Outcome{0, "+CSCS: \"IRA\"\nOK\n", {}}));
        // Each search asked for the listing once, and the commands that list used it.
        QCOMPARE(phone->received().count("AT*ELIF"), 4);

        // Taken away, its pseudo-terminal's number may go to another test's phone at
        // once; the port names a device that never is instead.
        ports.simulators.back().reset();
        qputenv("MORVEX_COM7", QFile::encodeName(ports.folders.back()->filePath("unplugged")));
        for (const QStringList &command : {QStringList{"find"}, {"--port", "auto", "list"}}) {
            const Outcome missed = cli.run(command);
            QCOMPARE(missed.status, 1);
            QCOMPARE(missed.out, QByteArray());
            QVERIFY2(missed.err.startsWith(u"Телефон не найден.\n"_s), qPrintable(missed.err));
            QCOMPARE(linesAbout(missed.err.trimmed(), {"3", "4", "7"}),
                     QStringList({u"3: не отвечает"_s, u"4: отвечает, но это не телефон"_s}));
        }
    }

    void getCopiesByteForByte()
    {
        const QString game = QStringLiteral("Игра.jar");
        const QString odd = QStringLiteral("bad\a\u202E.jar");
        const QMap<QString, QByteArray> files{{game, randomBytes(200000, 5)}, {odd, randomBytes(200000, 6)}};
        Cli cli;
        QVERIFY(cli.start(files, {"--split", "anywhere", "--max-piece", "3000", "--pause-us", "100", "--chunk-width",
                                  "4096"}));
        // The name as list prints it; the file's name is cleaned.
        const QList<std::tuple<QString, QStringList, QString>> gets{
            {odd, {u"bad\\x07\u202E.jar"_s}, "bad__.jar"},
            {game, {game, "--output", "copy.jar"}, "copy.jar"},
            {game, {game, "-o", "."}, "./Игра.jar"}};
        for (const auto &[name, arguments, path] : gets) {
            const Outcome got = cli.run(QStringList{"get"} + arguments);
            QCOMPARE(got, (Outcome{0, {}, QStringLiteral("Data Saved to: \"%1\"\n").arg(path)}));
            QCOMPARE(cli.workFiles(), QStringList{QFileInfo(path).fileName()});
            QCOMPARE(readFile(cli.workPath(path)), files.value(name));
            QVERIFY(QFile::remove(cli.workPath(path)));
        }
    }

    // Damaged on the line only, then also on the phone.
    void getMendsTheLineAndKeepsWhatThePhoneHolds()
    {
        for (const bool damagedOnPhone : {false, true}) {
            QByteArray jar =
                BuildJar({{"a.bin", randomBytes(5000, 6)}, {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0"}}).bytes;
            if (damagedOnPhone)
                jar[100] = char(jar[100] ^ 1);
            Cli cli;
            QVERIFY(cli.start({{"app.jar", jar}}, {"--corrupt-read", "1"}));
            const Outcome got = cli.run({"get", "app.jar"});
            QCOMPARE(got.status, damagedOnPhone ? 3 : 0);
            QCOMPARE(readFile(cli.workPath("app.jar")), jar);
            QCOMPARE(got.err.contains(QStringLiteral("повреждён на телефоне: a.bin")), damagedOnPhone);
            // A round that changes nothing ends the re-reads: the phone's damage costs one.
            QCOMPARE(cli.phone->received().count("AT*ERIF"), damagedOnPhone ? 3 : 2);
        }
    }

    void getReplacesAFileOnlyWhenForced()
    {
        Cli cli;
        QVERIFY(cli.start({{"a.jar", "new"}}));
        QVERIFY(writeFile(cli.workPath("a.jar"), "old"));

        QCOMPARE(cli.run({"get", "a.jar"}), (Outcome{1, {}, u"Файл «a.jar» уже есть; --force заменит его.\n"_s}));
        QCOMPARE(cli.phone->received(), QByteArray()); // nothing was even asked
        QCOMPARE(readFile(cli.workPath("a.jar")), QByteArray("old"));

        QCOMPARE(cli.run({"get", "a.jar", "--force", "--quiet"}), (Outcome{0, {}, {}}));
        QCOMPARE(readFile(cli.workPath("a.jar")), QByteArray("new"));

        // A folder in the file's place cannot be written, forced or not: refused before any request.
        QVERIFY(QDir(cli.work.path()).mkpath("sub/a.jar"));
        const QByteArray asked = cli.phone->received();
        QCOMPARE(cli.run({"get", "a.jar", "--output", "sub", "--force"}),
                 (Outcome{1, {}, u"На месте файла «sub/a.jar» папка; туда не сохранить.\n"_s}));
        QCOMPARE(cli.phone->received(), asked);
    }

    void getAllKeepsWhatIsThereAndNamesWhatFailed()
    {
        Cli cli;
        const QMap<QString, QByteArray> files{
            {"a.jar", "aaa"}, {"Игра.jar", randomBytes(7000, 1)}, {"c\x1b[2J.jad", "ccc"}};
        QVERIFY(cli.start(files, {"--fail-read", "2"}));
        QVERIFY(writeFile(cli.workPath("a.jar"), "mine"));

        // The simulator reads its files in the order of their names' bytes: c….jad is the second,
        // and its name in the summary cannot clear the terminal.
        QCOMPARE(cli.run({"get-all", "."}),
                 (Outcome{1, {}, u"Скопировано файлов: 2 из 3\nc\\x1B[2J.jad: Ошибочная комманда\n"_s}));
        // Where the tool was told, with the names copy-all gives (tested with the windows).
        QCOMPARE(cli.workFiles(), QStringList({"a (2).jar", "a.jar", "Игра.jar"}));
        QCOMPARE(readFile(cli.workPath("a (2).jar")), files.value("a.jar"));
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
        row("a lone backslash in a name", {"--port", "5", "get", "a\\b.jar"}, {}, 2, "в имени «a\\b.jar» обратная");
        // Past a day the milliseconds overflowed: the wait came short or never ended.
        for (const char *seconds : {"0", "86401", "2147484", "4294968"})
            row(seconds, {"--port", "/dev/ttyMISSING", "--timeout", seconds, "at", "AT"}, {}, 2,
                "--timeout ждёт целое число секунд от 1 до 86400");
        row("a day's timeout", {"--port", "/dev/ttyMISSING", "--timeout", "86400", "at", "AT"}, {}, 1,
            "/dev/ttyMISSING: No such file");
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

    // A name, as printed: on one line, harmless to a terminal, and read back as it was.
    void printedNamesReadBack()
    {
        const QList<std::pair<QString, QString>> table{
            {u"Игра \u202E1.jar"_s, u"Игра \u202E1.jar"_s}, // as it is
            {u"a\nb\r.jar"_s, u"a\\x0Ab\\x0D.jar"_s},
            {u"\x1b[2J"_s, u"\\x1B[2J"_s},
            {u"\0\x7f\x80\x9f\xa0"_s, u"\\x00\\x7F\\x80\\x9F\xa0"_s}, // NUL, DEL, C1, and no-break space as it is
            {u"\\x41\\"_s, u"\\\\x41\\\\"_s}};
        for (const auto &[name, printed] : table) {
            QCOMPARE(PrintedName(name), printed);
            QCOMPARE(NameFromPrinted(printed), std::optional(name));
        }
        // Either case of hex digits; a backslash beginning anything else is no name.
        QCOMPARE(NameFromPrinted(u"\\x1b\\x41"_s), std::optional(u"\x1b" "A"_s));
        for (const QString &wrong : {u"a\\b"_s, u"\\x4"_s, u"\\x+1"_s, u"\\xG0"_s, u"end\\"_s})
            QVERIFY2(!NameFromPrinted(wrong), qPrintable(wrong));
    }

    // Stopped in the middle of a piece, each way a user stops the tool.
    void stopInAPieceSavesNothingAndFreesThePort()
    {
        Cli cli;
        // About 1.3 seconds a full piece.
        QVERIFY(cli.start({{"slow.jar", randomBytes(200000, 9)}}, {"--rate", "100000"}));
        const QList<std::tuple<QStringList, int, QString>> stops{
            {{"get", "slow.jar"}, SIGINT, u"Копирование прервано, файл не сохранён.\n"_s},
            {{"get-all", "."}, SIGTERM, u"Скопировано файлов: 0 из 1 (отменено)\n"_s}};
        for (const auto &[command, signal, err] : stops) {
            const qsizetype reads = cli.phone->received().count("AT*ERIF");
            cli.launch(command);
            QTRY_VERIFY_WITH_TIMEOUT(cli.phone->received().count("AT*ERIF") > reads, 10000);
            QTest::qWait(300);
            // A tool already gone has no id, and kill(0) would stop the whole test run.
            const qint64 pid = cli.process.processId();
            QVERIFY2(pid > 0, "the tool ended before it was stopped");
            QCOMPARE(::kill(pid_t(pid), signal), 0);
            QCOMPARE(cli.finish(), (Outcome{130, {}, err}));
            QCOMPARE(cli.workFiles(), QStringList());

            // The phone saw the line closed: it dropped the rest of the piece, so the
            // next user of the port gets a clean listing.
            QCOMPARE(cli.run({"list"}), (Outcome{0, "slow.jar\n", {}}));
        }
    }

    // Without the phone back: at once with --wait 0, after it otherwise.
    void hangUpEndsTheCopyOnceTheWaitIsOver()
    {
        for (const char *wait : {"0", "1"}) {
            Cli cli;
            QVERIFY(cli.start({{"long.jar", randomBytes(300000, 4)}}, {"--hangup-after", "1"}));
            const Outcome lost = cli.run({"--wait", wait, "get", "long.jar"});
            QCOMPARE(lost.status, 1);
            QVERIFY2(lost.err.contains(QStringLiteral("%1: связь с телефоном потеряна").arg(cli.phone->devicePath())),
                     qPrintable(lost.err));
            QVERIFY(lost.err.endsWith(QStringLiteral("\nКопирование прервано, файл не сохранён.\n")));
            QCOMPARE(cli.workFiles(), QStringList());
        }
    }

    // The line drops halfway through a piece. Once the phone is back the copy goes on
    // after comparing a piece it holds whole, or starts over for a file that changed
    // meanwhile.
    void getGoesOnWhenThePhoneIsBack()
    {
        const QByteArray plain = randomBytes(300000, 4), other = randomBytes(300000, 5);
        // Three pieces; the line damages the first read.
        const QByteArray jar = BuildJar({{"a.bin", randomBytes(60000, 1), false}, {"b.bin", randomBytes(60000, 2), false},
                                         {"c.bin", randomBytes(60000, 3), false}}).bytes;
        struct Row
        {
            QByteArray file;
            QStringList options;
            QByteArray beforeTheCut, compared, unchangedAfter;
        };
        const QList<Row> rows{
            // In piece 1: piece 0 is compared, and piece 1 asked for again.
            {plain, {"2"}, readRequests("long.jar", 65535), readRequest("long.jar", 0),
             readRequests("long.jar", 300000, 65535)},
            // While pieces 0 and 2 are read again for the archive check: piece 1 is
            // the last that is not, and is compared.
            {jar, {"4", "--corrupt-read", "1"}, readRequests("long.jar", jar.size()) + readRequest("long.jar", 0),
             readRequest("long.jar", 65535), readRequest("long.jar", 0) + readRequest("long.jar", 131070)}};
        for (const Row &row : rows) {
            for (const bool changed : {false, true}) {
                Cli cli;
                QVERIFY(cli.start({{"long.jar", row.file}},
                                  ReturningPhone(cli.phoneFolder, row.options.first().toInt()) + row.options.mid(1)
                                      + QStringList{"--hangup-midway"}));
                cli.launch({"get", "long.jar"});
                QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(cli.phone->devicePath()), 10000);
                if (changed)
                    QVERIFY(writeFile(cli.phoneFolder.filePath("long.jar"), other));
                const Outcome outcome = cli.finish();
                QCOMPARE(outcome.status, 0);
                QCOMPARE(readFile(cli.workPath("long.jar")), changed ? other : row.file);
                QCOMPARE(outcome.err.contains(u"long.jar: файл на телефоне изменился, копирование начато заново\n"_s),
                         changed);
                const QByteArray received = cli.phone->received();
                QCOMPARE(received.sliced(received.indexOf("AT*ERIF")),
                         row.beforeTheCut + row.compared + (changed ? readRequests("long.jar", 300000) : row.unchangedAfter));
            }
        }
    }

    // The line drops in the second file; the run goes on once the phone is back, and
    // a second run finds everything there.
    void runGoesOnWhenThePhoneIsBack()
    {
        Cli cli;
        const QMap<QString, QByteArray> files{{"a.jar", randomBytes(70000, 1)}, {"b.jar", randomBytes(200000, 2)},
                                              {"c.jar", randomBytes(10, 3)}};
        QVERIFY(cli.start(files, ReturningPhone(cli.phoneFolder, 3)));
        QCOMPARE(cli.run({"--quiet", "get-all", "."}).status, 0);
        QCOMPARE(cli.workFiles(), QStringList({"a.jar", "b.jar", "c.jar"}));
        for (auto file = files.begin(); file != files.end(); ++file)
            QCOMPARE(readFile(cli.workPath(file.key())), file.value());
        const Outcome again = cli.run({"get-all", "."});
        QCOMPARE(again.status, 0);
        QVERIFY2(again.err.contains(QStringLiteral("Скопировано файлов: 0 из 3\nУже были в папке: 3")), qPrintable(again.err));
        QCOMPARE(cli.workFiles().size(), 3);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
