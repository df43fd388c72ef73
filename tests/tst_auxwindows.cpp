// The debug terminal, the character-set commands and the About window.
#include "app/Form1.h"
#include "support/phonereplies.h"
#include "support/pseudoterminal.h"
#include "support/scriptedprompts.h"
#include "windows/Form2.h"
#include "windows/debugForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

const QString AboutText = QStringLiteral(
    "Vantor Morvex\n\nПрограмма показывает все Java-приложения \nзагруженные в телефон.\n"
    "Также есть возможность скачивать \nJava-приложения с телефона на компьютер.\n"
    "Программа в Интернете: \nhttps://morvex.example.org/\n");

// The program and a pseudo-terminal that plays the phone.
struct Connected
{
    PseudoTerminal phone;
    ScriptedPrompts prompts;
    Form1 window{prompts};

    // Connects and takes the listing request; false if either failed.
    [[nodiscard]] bool open()
    {
        phone.mapToPort(5);
        window.btnConnect_Click();
        return prompts.messages.isEmpty()
               && phone.read(ListingLine.size()) == ListingLine;
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
        QVERIFY(link.open());
        // Three pieces, each shown as taken (by its length) before the next is sent.
        auto *pieceLength = link.window.findChild<QLineEdit *>("Txt2Write");
        for (const QByteArray &piece : {QByteArray("AT*ELIF=\"2F\"\r\r\n*ELIF: \"612E"), QByteArray("62\"\r\n\r"),
                                        QByteArray("\nOK\r\n")}) {
            link.phone.write(piece);
            QTRY_COMPARE(pieceLength->text(), QString::number(piece.size()));
        }

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
        QVERIFY(link.open());
        link.phone.write("hello\r\nOK\r\n");
        QTRY_VERIFY(!link.window.findChild<QLineEdit *>("Txt2Write")->text().isEmpty());
        link.window.nmuDebug_Click();
        link.debugControl<QLineEdit>("Text1")->setText(QStringLiteral("ATI"));
        link.debugControl<QLineEdit>("Text3")->setText(QStringLiteral("999"));
        QPointer<debugForm> first = link.window.debugWindow();
        first->close();
        QTRY_VERIFY(first.isNull());

        // The GSM entry creates it afresh, hidden, with its design texts, and only
        // fills in the command line: Send is what writes it.
        link.window.mnu_CS_SetGSM_Click();
        QVERIFY(!link.window.debugWindow()->isVisible());
        QCOMPARE(link.debugControl<QLineEdit>("Text1")->text(), QStringLiteral("AT+CSCS=\"GSM\""));
        QCOMPARE(link.debugControl<QLineEdit>("Text3")->text(), QStringLiteral("200"));
        link.window.nmuDebug_Click();
        QCOMPARE(link.debugControl<QPlainTextEdit>("Txt2Write")->toPlainText(), QString());
        link.debugControl<QPushButton>("CmdEnter")->click();
        const QByteArray gsm("AT+CSCS=\"GSM\"\r");
        QCOMPARE(link.phone.read(gsm.size()), gsm);
    }

    void sendWritesTheCommandLineOnceOrKeepsIt()
    {
        Connected link;
        QVERIFY(link.open());
        link.window.nmuDebug_Click();
        auto *command = link.debugControl<QLineEdit>("Text1");
        command->setFocus();
        command->setText(QStringLiteral("ATE0"));
        QTest::keyClick(command, Qt::Key_Return);
        QCOMPARE(command->text(), QString());
        // An empty line sends the bare CR, which also shows ATE0 went out once.
        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(link.phone.read(6), QByteArray("ATE0\r\r"));
        QVERIFY(link.prompts.messages.isEmpty());

        // With the port closed the text stays for another try.
        link.window.Command3_Click();
        command->setText(QStringLiteral("AT+CGMI"));
        link.debugControl<QPushButton>("CmdEnter")->click();
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("Port is not open")});
        QCOMPARE(command->text(), QStringLiteral("AT+CGMI"));
    }

    void characterSetCommands()
    {
        Connected link;
        QVERIFY(link.open());
        // Asking for the current set writes nothing; UTF-8 is written at once.
        link.window.mnu_CS_Get_Click();
        link.window.mnu_CS_SetUTF8_Click();
        const QByteArray utf8("AT+CSCS=\"UTF-8\"\r");
        QCOMPARE(link.phone.read(utf8.size()), utf8);
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
        // A closed About window is deleted, so those that exist are those open.
        auto aboutWindows = [&] { return window.findChildren<Form2 *>(); };
        QTest::keyClick(&window, Qt::Key_F1);
        QTest::keyClick(&window, Qt::Key_F1);
        QTRY_COMPARE(aboutWindows().size(), 1);
        Form2 *about = aboutWindows().first();
        QCOMPARE(about->windowTitle(), QString(46, ' ') + QStringLiteral("Инфо"));
        auto *text = about->findChild<QPlainTextEdit *>("Text1");
        QCOMPARE(text->toPlainText(), AboutText);

        // Edits are lost when it closes; the main window kept working meanwhile.
        text->setPlainText(QStringLiteral("scribble"));
        window.Command3_Click();
        QCOMPARE(prompts.messageTexts(), QStringList{QStringLiteral("Нет соединения")});
        about->findChild<QPushButton *>("Command1")->click();
        QTRY_VERIFY(aboutWindows().isEmpty());
        window.mnuHelp_Click();
        QTRY_COMPARE(aboutWindows().size(), 1);
        QCOMPARE(aboutWindows().first()->findChild<QPlainTextEdit *>("Text1")->toPlainText(), AboutText);

        // Closing the main window closes the others.
        QPointer<debugForm> debug = window.debugWindow();
        window.close();
        QTRY_VERIFY(aboutWindows().isEmpty());
        QTRY_VERIFY(debug.isNull());
    }
};

QTEST_MAIN(AuxWindowsTest)
#include "tst_auxwindows.moc"
