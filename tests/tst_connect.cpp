// The main window on a real pseudo-terminal: Connect, Disconnect and Exit, what the
// user is told when the port will not open, and the debug terminal, the
// character-set commands and the About window around the connection.
#include "app/openfailure.h"
#include "app/portnumber.h"
#include "support/jobhelpers.h"
#include "support/phonereplies.h"
#include "support/pseudoterminal.h"
#include "support/windowfixture.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString AboutText = QStringLiteral(
    "Vantor Morvex\n\nПрограмма показывает все Java-приложения \nзагруженные в телефон.\n"
    "Также есть возможность скачивать \nJava-приложения с телефона на компьютер.\n"
    "Программа в Интернете: \nhttps://morvex.example.org/\n");

// What a fresh main window tells the user on Connect with the port field saying port.
QStringList toldOnConnect(const QString &port)
{
    WindowFixture main;
    main.connectWith(port);
    return main.prompts.messageTexts();
}

} // namespace

class ConnectTest : public QObject
{
    Q_OBJECT

private slots:
    void shortcutsAndTheAboutWindowAroundAConnection()
    {
        // The phone's end comes first, so that it outlives the window.
        PseudoTerminal phone;
        phone.mapToPort(5);
        WindowFixture link;
        link.window.show();
        QVERIFY(QTest::qWaitForWindowActive(&link.window));

        // The focus starts in the port field, whose line edit wants Ctrl+C for Copy.
        QCOMPARE(QApplication::focusWidget(), link.portField);
        QTest::keyClick(link.portField, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        QVERIFY(link.prompts.messages.isEmpty());
        // Ctrl+R asks again.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);

        // The first thing received turns the lamp green.
        phone.write("x");
        QTRY_COMPARE(lampColour(link.window), QColor(0, 255, 0));

        // Ctrl+D from the field disconnects: no message, lamp red, port closed.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(lampColour(link.window), QColor(255, 0, 0));
        QVERIFY(link.prompts.messages.isEmpty());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("Нет соединения")});
        QCOMPARE(link.prompts.messages.first().icon, Prompts::Icon::Information);

        // A closed About window is deleted, so those that exist are those open.
        auto aboutWindows = [&] { return link.window.findChildren<Form2 *>(); };
        QTest::keyClick(&link.window, Qt::Key_F1);
        QTest::keyClick(&link.window, Qt::Key_F1);
        QTRY_COMPARE(aboutWindows().size(), 1);
        Form2 *about = aboutWindows().first();
        QCOMPARE(about->windowTitle(), QString(46, ' ') + QStringLiteral("Инфо"));
        auto *text = about->findChild<QPlainTextEdit *>("Text1");
        QCOMPARE(text->toPlainText(), AboutText);

        // Edits are lost when it closes; the main window kept working meanwhile.
        text->setPlainText(QStringLiteral("scribble"));
        link.window.Command3_Click();
        QCOMPARE(link.prompts.messageTexts(), QStringList(2, QStringLiteral("Нет соединения")));
        about->findChild<QPushButton *>("Command1")->click();
        QTRY_VERIFY(aboutWindows().isEmpty());
        link.window.mnuHelp_Click();
        QTRY_COMPARE(aboutWindows().size(), 1);
        QCOMPARE(aboutWindows().first()->findChild<QPlainTextEdit *>("Text1")->toPlainText(), AboutText);

        // Ctrl+X exits, even from the field, where it would cut; that closes the
        // other windows too.
        QPointer<debugForm> debug = link.window.debugWindow();
        QApplication::setActiveWindow(&link.window);
        QCOMPARE(QApplication::focusWidget(), link.portField);
        link.portField->lineEdit()->selectAll();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!link.window.isVisible());
        QTRY_VERIFY(aboutWindows().isEmpty());
        QTRY_VERIFY(debug.isNull());
    }

    void badFieldTextFailsBeforeThePortIsTouched_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("message");
        const QString speed = QStringLiteral("115200");
        const QList<QPair<QString, QString>> ports{
            {"abc", "101 Type mismatch"}, {"", "101 Type mismatch"}, {"5.5", "101 Type mismatch"},
            {"40000", "102 Overflow"}, {"99999999999999999999", "102 Overflow"}, {"0", "103 Invalid port number"}};
        for (const auto &[port, message] : ports)
            QTest::newRow(qPrintable(QStringLiteral("port '%1'").arg(port))) << port << speed << message;
        for (const QString bad : {"fast", "", "2147483648", "0"}) {
            QTest::newRow(qPrintable(QStringLiteral("speed '%1'").arg(bad)))
                << QStringLiteral("5") << bad << QStringLiteral("104 Invalid settings \"%1,n,8,1\"").arg(bad);
        }
    }

    void badFieldTextFailsBeforeThePortIsTouched()
    {
        QFETCH(QString, port);
        QFETCH(QString, speed);
        QFETCH(QString, message);
        qputenv("MORVEX_COM5", "/nonexistent/ttyS4"); // had it got as far as opening, it would say so
        WindowFixture main;
        main.connectWith(port, speed);
        QCOMPARE(main.prompts.messageTexts(), QStringList{message});
        QCOMPARE(main.prompts.messages.first().icon, Prompts::Icon::None);

        // Still closed, so nothing was written: refreshing says so.
        main.window.mnu_cmd_refresh_Click();
        QCOMPARE(main.prompts.messages.last().text, QStringLiteral("13 Port is not open"));
    }

    void portFieldTakesANumberADevicePathOrAPortName()
    {
        PseudoTerminal phone;
        phone.mapToPort(12);
        // Blanks around the number are allowed, and the speed is passed on, however
        // the port is named.
        for (const QString &field : {QStringLiteral(" 12 "), phone.slavePath(), QStringLiteral(" com12 ")}) {
            WindowFixture main;
            main.connectWith(field, QStringLiteral("4800"));
            QVERIFY2(main.prompts.messages.isEmpty(), qPrintable(main.prompts.messageTexts().join('|')));
            QCOMPARE(phone.read(ListingLine.size()), ListingLine);
            const termios line = phone.lineSettings();
            QCOMPARE(cfgetospeed(&line), speed_t(B4800));

            // Connecting again while open is refused by the port and said so; another
            // opener finds the device busy.
            main.window.nmu_cmd_connect_Click();
            QCOMPARE(main.prompts.messageTexts(), QStringList{QStringLiteral("3 Port already open")});
            const QString busy = toldOnConnect(field).join('\n');
            QVERIFY2(busy.startsWith(QStringLiteral("3 %1: ").arg(phone.slavePath())) && busy.contains(u"ModemManager")
                         && busy.contains(u"ID_MM_DEVICE_IGNORE=1"),
                     qPrintable(busy));
        }
        // A device the list offers under a name of its own is opened by that name.
        QVERIFY(IsDeviceName(QStringLiteral(" cnca0 "), {QStringLiteral("COM3"), QStringLiteral("CNCA0")}));
        QVERIFY(!IsDeviceName(QStringLiteral("CNCA1"), {QStringLiteral("CNCA0")}));
    }

    void openFailureSaysWhatToDo()
    {
        const auto described = [](const OpenFailureFacts &given) { return DescribeOpenFailure(given).description; };
        // A missing device: the setting and the devices that exist.
        OpenFailureFacts facts{QSerialPort::DeviceNotFoundError, 5, "/dev/ttyS4", "No such file or directory",
                               false, {}, {"/dev/ttyACM0", "/dev/ttyUSB0"}};
        QCOMPARE(DescribeOpenFailure(facts).message(),
                 QStringLiteral("1 /dev/ttyS4: No such file or directory. Pick the phone's device in the port "
                                "list or type its path, or set MORVEX_COM5 to it. Serial devices here: "
                                "/dev/ttyACM0, /dev/ttyUSB0."));
        // A path typed in the port field has no setting of its own.
        OpenFailureFacts typed{QSerialPort::DeviceNotFoundError, 0, "/dev/ttyACM3", "No such file or directory",
                               false, {}, facts.serialDevices};
        QCOMPARE(DescribeOpenFailure(typed).message(),
                 QStringLiteral("1 /dev/ttyACM3: No such file or directory. Pick the phone's device in the port "
                                "list or type its path. Serial devices here: /dev/ttyACM0, /dev/ttyUSB0."));
        typed.serialDevices.clear();
        QVERIFY(described(typed).endsWith(u"directory. No serial devices are connected: plug in the phone's cable."));

        // Five names at most.
        facts.serialDevices = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3", "/dev/ttyS4", "/dev/ttyS5"};
        QVERIFY(described(facts).endsWith(u": /dev/ttyS0, /dev/ttyS1, /dev/ttyS2, /dev/ttyS3, /dev/ttyS4, …."));
        facts.serialDevices.removeLast();
        QVERIFY(described(facts).endsWith(u", /dev/ttyS4."));
        facts.serialDevices.clear();
        QVERIFY(described(facts).endsWith(
            u" No serial devices are connected: plug in the phone's cable, or set MORVEX_COM5 to its device."));

    }

    // Denied access: the device's owner, group and mode, whether the user is in
    // that group, and only a remedy that would let the user in.
    void deniedAccessSaysWhatWasCheckedAndWhatHelps_data()
    {
        QTest::addColumn<uint>("owner");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QList<uint>>("session");
        QTest::addColumn<QList<uint>>("member");
        QTest::addColumn<QString>("told");
        const QList<uint> alone{1000}, inUucp{1000, 10};
        const auto row = [](const char *name, uint owner, uint mode, const QList<uint> &session,
                            const QList<uint> &member, const QString &told) {
            QTest::newRow(name) << owner << mode << session << member << told;
        };
        const QString ask = u"ask the administrator for a udev rule that gives the device MODE=\"0660\" and a group "
                            "you are in."_s;
        row("not in the group", 0, 0660, alone, alone, u"root and group uucp with mode 0660; you are not in group uucp: "
            "join it with \"sudo usermod -aG uucp $USER\" and log in again."_s);
        row("joined since logging in", 0, 0660, alone, inUucp, u"root and group uucp with mode 0660; you have joined "
            "group uucp since you logged in: log out and in again."_s);
        row("the group may only read", 0, 0640, alone, alone, u"root and group uucp with mode 0640; its mode keeps "
            "group uucp from reading and writing it, so joining the group would not help: "_s + ask);
        row("in the group that may only read", 0, 0640, inUucp, inUucp, u"root and group uucp with mode 0640; you are "
            "in group uucp, but its mode keeps the group from reading and writing it: "_s + ask);
        row("in the group that may write", 0, 0660, inUucp, inUucp, u"root and group uucp with mode 0660; by these "
            "you may read and write it, so something else refuses, such as an access control list or a security "
            "policy: ask the administrator."_s);
        row("owner who may not", 1000, 0066, inUucp, inUucp, u"1000 and group uucp with mode 0066; you own it, but "
            "its mode keeps its owner from reading and writing it: \"chmod u+rw /dev/ttyACM0\" lets you."_s);
    }

    void deniedAccessSaysWhatWasCheckedAndWhatHelps()
    {
        QFETCH(uint, owner);
        QFETCH(uint, mode);
        QFETCH(QList<uint>, session);
        QFETCH(QList<uint>, member);
        QFETCH(QString, told);
        const DeviceAccess access{true, owner, owner == 0 ? u"root"_s : QString(), 10, u"uucp"_s, mode, 1000,
                                  session, member};
        OpenFailureFacts denied{QSerialPort::PermissionError, 5, "/dev/ttyACM0", "Permission denied", true, access, {}};
        const QString head = u"2 /dev/ttyACM0: Permission denied. "_s;
        QCOMPARE(DescribeOpenFailure(denied).message(), head + u"The device belongs to user "_s + told);
        // With nothing known of the device no remedy is guessed.
        denied.access.known = false;
        QCOMPARE(DescribeOpenFailure(denied).message(), head + u"Its owner, group and mode could not be looked at: "
                 "ask the administrator to let you read and write it."_s);
    }

    void missingOrDeniedDeviceIsNamedWithWhatToDo()
    {
        // A port number names the device its setting gives and the setting; a typed
        // path that is not there has no setting to point at.
        qputenv("MORVEX_COM7", "/nonexistent/ttyUSB9");
        const QStringList number = toldOnConnect(QStringLiteral("7"));
        const QStringList path = toldOnConnect(QStringLiteral("/nonexistent/ttyACM7"));
        QCOMPARE(number.size(), 1);
        QCOMPARE(path.size(), 1);
        QVERIFY2(number[0].startsWith(u"1 /nonexistent/ttyUSB9: ") && number[0].contains(u", or set MORVEX_COM7 to "),
                 qPrintable(number[0]));
        QVERIFY2(path[0].startsWith(u"1 /nonexistent/ttyACM7: ") && !path[0].contains(u"MORVEX_COM"),
                 qPrintable(path[0]));

        // A device this user may not open names the group to join.
        if (::geteuid() == 0)
            QSKIP("root may open any device node");
        PseudoTerminal locked;
        QVERIFY(::chmod(locked.slavePath().toLocal8Bit().constData(), 0) == 0);
        const QString text = toldOnConnect(locked.slavePath()).join('\n');
        // The test's own pseudo-terminal, so only its owner's bits count.
        QVERIFY2(text.startsWith(QStringLiteral("2 %1: ").arg(locked.slavePath()))
                     && text.contains(QStringLiteral("\"chmod u+rw %1\" lets you.").arg(locked.slavePath())),
                 qPrintable(text));
    }

    void debugLogKeepsTheLatestTrafficInShortLines()
    {
        WindowFixture link;
        debugForm *debug = link.window.debugWindow();
        auto *log = link.debugControl<QPlainTextEdit>("Txt2Write");
        const QString note = QStringLiteral("[Более ранний обмен удалён из журнала]");
        const auto check = [&](QChar last) {
            const QString text = log->toPlainText();
            const QStringList lines = text.split(QLatin1Char('\n'));
            QCOMPARE(lines.first(), note);
            QCOMPARE(text.count(note), 1);
            QVERIFY(text.size() < (5 << 20) / 4 + (5 << 20) / 4 / 256 + note.size() + 8);
            QVERIFY(std::all_of(lines.begin(), lines.end(), [](const QString &line) { return line.size() <= 256; }));
            QVERIFY(text.endsWith(last));
        };
        // Hidden, it keeps the latest traffic only; shown, it says so at its top.
        for (int piece = 0; piece < 48; ++piece)
            debug->appendLog(QByteArray(65536, 'A'));
        debug->appendLog("\r\nEND\r\n");
        link.window.nmuDebug_Click();
        check(QLatin1Char('\n'));
        QVERIFY(log->toPlainText().endsWith(QStringLiteral("A\nEND\n")));
        // Shown, it drops its oldest lines as more comes.
        for (int piece = 0; piece < 48; ++piece)
            debug->appendLog(QByteArray(65536, 'B'));
        check(QLatin1Char('B'));
    }

    void debugWindowLogsWhatComesAndSendsItsCommandLine()
    {
        PseudoTerminal phone;
        WindowFixture link;
        link.connectWith(phone.slavePath());
        QVERIFY(link.prompts.messages.isEmpty());
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        // Asking for the current set writes nothing; UTF-8 is written at once and
        // shown on the command line of the debug window, which stays hidden.
        link.window.mnu_CS_Get_Click();
        link.window.mnu_CS_SetUTF8_Click();
        const QByteArray utf8("AT+CSCS=\"UTF-8\"\r");
        QCOMPARE(phone.read(utf8.size()), utf8);
        QCOMPARE(link.debugControl<QLineEdit>("Text1")->text(), QStringLiteral("AT+CSCS=\"UTF-8\""));

        // Three pieces, each shown as taken (by its length) before the next is sent.
        for (const QByteArray &piece : {QByteArray("AT*ELIF=\"2F\"\r\r\n*ELIF: \"612E"), QByteArray("62\"\r\n\r"),
                                        QByteArray("\nOK\r\n")}) {
            phone.write(piece);
            QTRY_COMPARE(link.control<QLineEdit>("Txt2Write")->text(), QString::number(piece.size()));
        }

        QPointer<debugForm> debug = link.window.debugWindow();
        QVERIFY(!debug->isVisible());
        QCOMPARE(link.debugControl<QLabel>("labStat")->text(), QString());
        link.window.nmuDebug_Click();
        QVERIFY(debug->isVisible());
        auto *log = link.debugControl<QPlainTextEdit>("Txt2Write");
        QCOMPARE(log->toPlainText(), QStringLiteral("AT*ELIF=\"2F\"\n*ELIF: \"612E62\"\n\nOK\n"));
        QCOMPARE(log->textCursor().position(), log->toPlainText().size());

        // Shown, it takes new pieces at once; Clear Log leaves it alone.
        phone.write("RING\r\n");
        QTRY_VERIFY(log->toPlainText().endsWith(QStringLiteral("OK\nRING\n")));
        link.debugControl<QPlainTextEdit>("Text2")->setPlainText(QStringLiteral("notes"));
        link.debugControl<QPushButton>("Command1")->click();
        QVERIFY(link.debugControl<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
        QVERIFY(log->toPlainText().endsWith(QStringLiteral("RING\n")));

        // While a copy runs, Send writes nothing: the reply would be taken for the copy's.
        auto *command = link.debugControl<QLineEdit>("Text1");
        link.control<QListWidget>("List2")->setCurrentRow(0);
        link.window.btnDownload_Click();
        QVERIFY(phone.read().startsWith("AT*ERIF="));
        command->setText(QStringLiteral("ATI"));
        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("Идёт копирование: команда не отправлена")});
        link.window.cmdCancel_Click();
        link.prompts.messages.clear();

        // Return sends the command line and empties it.
        command->setFocus();
        command->setText(QStringLiteral("ATE0"));
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(command->text(), QString());
        // An empty line sends the bare CR, which also shows ATE0 went out once.
        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(phone.read(6), QByteArray("ATE0\r\r"));
        QVERIFY(link.prompts.messages.isEmpty());

        // Closing discards the window with its log and what was typed.
        command->setText(QStringLiteral("ATI"));
        link.debugControl<QLineEdit>("Text3")->setText(QStringLiteral("999"));
        debug->close();
        QTRY_VERIFY(debug.isNull());
        // The GSM entry creates it afresh, hidden, with its design texts, and only
        // fills in the command line: Send is what writes it.
        link.window.mnu_CS_SetGSM_Click();
        QVERIFY(!link.window.debugWindow()->isVisible());
        command = link.debugControl<QLineEdit>("Text1");
        QCOMPARE(command->text(), QStringLiteral("AT+CSCS=\"GSM\""));
        QCOMPARE(link.debugControl<QLineEdit>("Text3")->text(), QStringLiteral("200"));
        link.window.nmuDebug_Click();
        QCOMPARE(link.debugControl<QPlainTextEdit>("Txt2Write")->toPlainText(), QString());
        link.debugControl<QPushButton>("CmdEnter")->click();
        const QByteArray gsm("AT+CSCS=\"GSM\"\r");
        QCOMPARE(phone.read(gsm.size()), gsm);

        // With the port closed the text stays for another try; the UTF-8 entry sets
        // the command line all the same, and the failure is shown.
        link.window.Command3_Click();
        command->setText(QStringLiteral("AT+CGMI"));
        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("Port is not open")});
        QCOMPARE(command->text(), QStringLiteral("AT+CGMI"));
        link.window.mnu_CS_SetUTF8_Click();
        QCOMPARE(command->text(), QStringLiteral("AT+CSCS=\"UTF-8\""));
        QCOMPARE(link.prompts.messageTexts(), QStringList({QStringLiteral("Port is not open"),
                                                           QStringLiteral("13 Port is not open")}));
    }
};

QTEST_MAIN(ConnectTest)
#include "tst_connect.moc"
