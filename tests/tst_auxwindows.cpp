// The debug terminal, the character-set commands and the About window.
#include "app/Form1.h"
#include "support/pseudoterminal.h"
#include "support/scriptedprompts.h"
#include "windows/Form2.h"
#include "windows/debugForm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray ListingLine("AT*ELIF=\"2F7470612F7072657365742F73797374656D2F6F61662F\"\r");

QList<Form2 *> aboutWindows()
{
    QList<Form2 *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *about = qobject_cast<Form2 *>(widget); about && about->isVisible())
            found.append(about);
    }
    return found;
}

// The program connected to a pseudo-terminal that plays the phone.
struct Connected
{
    PseudoTerminal phone;
    ScriptedPrompts prompts;
    Form1 window{prompts};

    Connected()
    {
        qputenv("MORVEX_COM5", phone.slavePath().toLocal8Bit());
        window.btnConnect_Click();
        phone.read(ListingLine.size());
    }
    template<typename Widget>
    Widget *debugControl(const char *name)
    {
        return window.debugWindow()->findChild<Widget *>(name);
    }
};

} // namespace

class AuxWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void logCollectsEverythingWhileHidden()
    {
        Connected link;
        link.phone.write("AT*ELIF=\"2F\"\r\r\n*ELIF: \"612E");
        QTest::qWait(50);
        link.phone.write("62\"\r\n\r");
        QTest::qWait(50);
        link.phone.write("\nOK\r\n");
        QTRY_COMPARE(link.window.findChild<QLineEdit *>("Txt2Write")->text(), QStringLiteral("5"));

        debugForm *debug = link.window.debugWindow();
        QVERIFY(!debug->isVisible());
        QCOMPARE(link.debugControl<QLabel>("labStat")->text(), QString());

        link.window.nmuDebug_Click();
        QVERIFY(debug->isVisible());
        auto *log = link.debugControl<QPlainTextEdit>("Txt2Write");
        QCOMPARE(log->toPlainText(), QStringLiteral("AT*ELIF=\"2F\"\n*ELIF: \"612E62\"\n\nOK\n"));
        QCOMPARE(log->textCursor().position(), log->toPlainText().size());

        // Shown, it takes new pieces at once; Clear Log leaves it alone.
        link.phone.write("RING\r\n");
        QTRY_VERIFY(log->toPlainText().endsWith(QStringLiteral("OK\nRING\n")));
        link.debugControl<QPlainTextEdit>("Text2")->setPlainText(QStringLiteral("notes"));
        link.debugControl<QPushButton>("Command1")->click();
        QVERIFY(link.debugControl<QPlainTextEdit>("Text2")->toPlainText().isEmpty());
        QVERIFY(log->toPlainText().endsWith(QStringLiteral("RING\n")));
    }

    void closingDiscardsTheWindowAndItsContents()
    {
        Connected link;
        link.phone.write("hello\r\nOK\r\n");
        QTRY_VERIFY(link.window.findChild<QLineEdit *>("Txt2Write")->text() != QString());
        link.window.nmuDebug_Click();
        link.debugControl<QLineEdit>("Text1")->setText(QStringLiteral("ATI"));
        link.debugControl<QLineEdit>("Text3")->setText(QStringLiteral("999"));
        QPointer<debugForm> first = link.window.debugWindow();
        first->close();
        QTRY_VERIFY(first.isNull());

        // The next write creates it afresh, hidden, with its design texts.
        link.window.mnu_CS_SetGSM_Click();
        debugForm *second = link.window.debugWindow();
        QVERIFY(!second->isVisible());
        QCOMPARE(link.debugControl<QLineEdit>("Text1")->text(), QStringLiteral("AT+CSCS=\"GSM\""));
        QCOMPARE(link.debugControl<QLineEdit>("Text3")->text(), QStringLiteral("200"));
        link.window.nmuDebug_Click();
        QCOMPARE(link.debugControl<QPlainTextEdit>("Txt2Write")->toPlainText(), QString());
        QCOMPARE(link.phone.readFor(50), QByteArray());
    }

    void sendWritesTheCommandLineOnce()
    {
        Connected link;
        link.window.nmuDebug_Click();
        auto *command = link.debugControl<QLineEdit>("Text1");
        command->setFocus();
        command->setText(QStringLiteral("ATE0"));
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(link.phone.readFor(100), QByteArray("ATE0\r"));
        QCOMPARE(command->text(), QString());

        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(link.phone.readFor(100), QByteArray("\r"));
        QVERIFY(link.prompts.messages.isEmpty());
    }

    void sendWithThePortClosedKeepsTheText()
    {
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.nmuDebug_Click();
        auto *command = window.debugWindow()->findChild<QLineEdit *>("Text1");
        command->setText(QStringLiteral("AT+CGMI"));
        window.debugWindow()->CmdEnter_Click();
        QCOMPARE(prompts.messageTexts(), QStringList{QStringLiteral("Port is not open")});
        QCOMPARE(command->text(), QStringLiteral("AT+CGMI"));
    }

    void characterSetCommands()
    {
        Connected link;
        link.window.mnu_CS_Get_Click();
        QCOMPARE(link.phone.readFor(50), QByteArray());

        link.window.mnu_CS_SetUTF8_Click();
        const QByteArray sent = link.phone.readFor(100);
        QCOMPARE(sent, QByteArray("AT+CSCS=\"UTF-8\"\r"));
        QCOMPARE(sent.size(), 16);
        QCOMPARE(link.debugControl<QLineEdit>("Text1")->text(), QStringLiteral("AT+CSCS=\"UTF-8\""));
        QVERIFY(!link.window.debugWindow()->isVisible());

        // Closed port: the command line is set all the same, and the failure shown.
        link.window.Command3_Click();
        link.debugControl<QLineEdit>("Text1")->setText(QStringLiteral("AT"));
        link.window.mnu_CS_SetUTF8_Click();
        QCOMPARE(link.debugControl<QLineEdit>("Text1")->text(), QStringLiteral("AT+CSCS=\"UTF-8\""));
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("13 Port is not open")});
    }

    void aboutWindowIsOneAndFresh()
    {
        ScriptedPrompts prompts;
        Form1 window(prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        QTest::keyClick(&window, Qt::Key_F1);
        QTRY_COMPARE(aboutWindows().size(), 1);
        Form2 *about = aboutWindows().first();
        QCOMPARE(about->windowTitle(), QString(46, ' ') + QStringLiteral("Инфо"));
        auto *text = about->findChild<QPlainTextEdit *>("Text1");
        QCOMPARE(text->toPlainText(), QString(Form2::AboutText).replace("\r\n", "\n"));
        QCOMPARE(Form2::AboutText.count(QStringLiteral("\r\n")), 8);

        // Edits are lost when it closes; the main window kept working meanwhile.
        text->setPlainText(QStringLiteral("scribble"));
        window.Command3_Click();
        QCOMPARE(prompts.messageTexts(), QStringList{QStringLiteral("Нет соединения")});
        about->findChild<QPushButton *>("Command1")->click();
        QTRY_VERIFY(aboutWindows().isEmpty());
        window.mnuHelp_Click();
        QTRY_COMPARE(aboutWindows().size(), 1);
        QVERIFY(aboutWindows().first()->findChild<QPlainTextEdit *>("Text1")->toPlainText().startsWith(
            QStringLiteral("Vantor Morvex\n")));

        // Closing the main window closes the others.
        QPointer<debugForm> debug = window.debugWindow();
        window.close();
        QTRY_VERIFY(aboutWindows().isEmpty());
        QTRY_VERIFY(debug.isNull());
    }
};

QTEST_MAIN(AuxWindowsTest)
#include "tst_auxwindows.moc"
