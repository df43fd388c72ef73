// Connect, Disconnect and Exit of the main window, on a real pseudo-terminal.
#include "app/Form1.h"
#include "app/portnumber.h"
#include "support/phonereplies.h"
#include "support/pseudoterminal.h"
#include "support/jobhelpers.h"
#include "support/scriptedprompts.h"

#include <QComboBox>
#include <QLineEdit>

class ConnectTest : public QObject
{
    Q_OBJECT

private slots:
    void ctrlCConnectsWithTheDefaultFields()
    {
        PseudoTerminal phone;
        phone.mapToPort(5);
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // The focus starts in the port field, whose line edit wants Ctrl+C for Copy.
        QWidget *focus = QApplication::focusWidget();
        QCOMPARE(focus, window.findChild<QComboBox *>("Combo1"));
        QTest::keyClick(focus, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        QVERIFY(prompts.messages.isEmpty());
        // Ctrl+R asks again.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);

        // The first thing received turns the lamp green.
        phone.write("x");
        QTRY_COMPARE(lampColour(window), QColor(0, 255, 0));

        // Ctrl+D from the field disconnects: no message, lamp red, port closed.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(lampColour(window), QColor(255, 0, 0));
        QVERIFY(prompts.messages.isEmpty());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(prompts.messageTexts(), QStringList{QStringLiteral("Нет соединения")});
        QCOMPARE(prompts.messages.first().icon, Prompts::Icon::Information);

        // Ctrl+X exits, even from the field, where it would cut.
        window.findChild<QComboBox *>("Combo1")->lineEdit()->selectAll();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::ControlModifier);
        QTRY_VERIFY(!window.isVisible());
    }

    void badFieldTextFailsBeforeThePortIsTouched_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("message");
        const QString speed = QStringLiteral("115200");
        QTest::newRow("port letters") << QStringLiteral("abc") << speed << QStringLiteral("101 Type mismatch");
        QTest::newRow("port empty") << QString() << speed << QStringLiteral("101 Type mismatch");
        QTest::newRow("port fraction") << QStringLiteral("5.5") << speed << QStringLiteral("101 Type mismatch");
        QTest::newRow("port too big") << QStringLiteral("40000") << speed << QStringLiteral("102 Overflow");
        QTest::newRow("port huge") << QStringLiteral("99999999999999999999") << speed << QStringLiteral("102 Overflow");
        QTest::newRow("port zero") << QStringLiteral("0") << speed << QStringLiteral("103 Invalid port number");
        for (const QString &bad : {QStringLiteral("fast"), QString(), QStringLiteral("2147483648"),
                                   QStringLiteral("0")}) {
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
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.findChild<QComboBox *>("Combo1")->setEditText(port);
        window.findChild<QComboBox *>("Combo2")->setEditText(speed);

        window.btnConnect_Click();
        QCOMPARE(prompts.messageTexts(), QStringList{message});
        QCOMPARE(prompts.messages.first().icon, Prompts::Icon::None);

        // Still closed, so nothing was written: refreshing says so.
        window.mnu_cmd_refresh_Click();
        QCOMPARE(prompts.messages.last().text, QStringLiteral("13 Port is not open"));
    }

    void portTextMayCarryBlanksAndSpeedIsPassedOn()
    {
        PseudoTerminal phone;
        phone.mapToPort(12);
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.findChild<QComboBox *>("Combo1")->setEditText(QStringLiteral(" 12 "));
        window.findChild<QComboBox *>("Combo2")->setEditText(QStringLiteral("4800"));
        window.btnConnect_Click();
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messageTexts().join('|')));
        QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        const termios line = phone.lineSettings();
        QCOMPARE(cfgetospeed(&line), speed_t(B4800));

        // Connecting again while open is refused by the port and said so.
        window.nmu_cmd_connect_Click();
        QCOMPARE(prompts.messageTexts(), QStringList{QStringLiteral("3 Port already open")});
    }

    void portFieldTakesADevicePathOrAPortName()
    {
        PseudoTerminal phone;
        phone.mapToPort(12);
        for (const QString &field : {phone.slavePath(), QStringLiteral(" com12 ")}) {
            ScriptedPrompts prompts;
            Form1 window(prompts);
            window.findChild<QComboBox *>("Combo1")->setEditText(field);
            window.btnConnect_Click();
            QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messageTexts().join('|')));
            QCOMPARE(phone.read(ListingLine.size()), ListingLine);
        }
        // A device the list offers under a name of its own is opened by that name.
        QVERIFY(IsDeviceName(QStringLiteral(" cnca0 "), {QStringLiteral("COM3"), QStringLiteral("CNCA0")}));
        QVERIFY(!IsDeviceName(QStringLiteral("CNCA1"), {QStringLiteral("CNCA0")}));
        // A path that is not there fails as a missing device, with no setting to point at it.
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.findChild<QComboBox *>("Combo1")->setEditText(QStringLiteral("/nonexistent/ttyACM7"));
        window.btnConnect_Click();
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY2(prompts.messages.first().text.startsWith(QStringLiteral("1 /nonexistent/ttyACM7: ")),
                 qPrintable(prompts.messages.first().text));
        QVERIFY(!prompts.messages.first().text.contains(QStringLiteral("MORVEX_COM")));
    }

    void missingDeviceIsNamedWithItsSetting()
    {
        qputenv("MORVEX_COM7", "/nonexistent/ttyUSB9");
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.findChild<QComboBox *>("Combo1")->setEditText(QStringLiteral("7"));
        window.btnConnect_Click();
        QCOMPARE(prompts.messages.size(), 1);
        const QString text = prompts.messages.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("1 /nonexistent/ttyUSB9: ")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(", or set MORVEX_COM7 to ")), qPrintable(text));
    }
};

QTEST_MAIN(ConnectTest)
#include "tst_connect.moc"
