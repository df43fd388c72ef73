// The Windows build through Wine's COM ports, against the phone simulators that
// scripts/windows serves, all with the files of MORVEX_TEST_PHONE_FOLDER:
//   COM7   as they are;
//   COM8   its replies cut into pieces of at most 5 bytes;
//   COM9   at 100 000 bytes a second, appending what it receives to MORVEX_TEST_PHONE_LOG;
//   COM10  hangs up after its first file-read reply; then a plain one takes its place.
// And what a Windows user is told when a COM port will not open.
#include "app/msc.h"
#include "app/openfailure.h"
#include "app/serialdevices.h"
#include "support/jobhelpers.h"
#include "support/scriptedprompts.h"
#include "windows/debugForm.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <windows.h>

namespace {

const QDir PhoneFolder(qEnvironmentVariable("MORVEX_TEST_PHONE_FOLDER"));

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

// What a listing shows: the folder's files.
QStringList expectedRows()
{
    return sorted(PhoneFolder.entryList(QDir::Files));
}

// The program with its dialogs scripted, connected to COM port n.
struct OnPort
{
    ScriptedPrompts prompts;
    Form1 window{prompts};
    QListWidget *list = window.findChild<QListWidget *>("List2");

    // Connects with that text in the port field and waits for the listing; false
    // if either failed.
    [[nodiscard]] bool connect(const QString &portField)
    {
        prompts.modalMilliseconds = 20;
        window.show();
        window.findChild<QComboBox *>("Combo1")->setEditText(portField);
        window.btnConnect_Click();
        if (!prompts.messages.isEmpty())
            qWarning() << "connecting said" << prompts.messageTexts();
        return QTest::qWaitForWindowActive(&window) && prompts.messages.isEmpty() && listed();
    }

    [[nodiscard]] bool listed()
    {
        return QTest::qWaitFor([this] { return sorted(rows(list)) == expectedRows(); }, 20000);
    }
};

// Types the text as a keyboard of any layout would, a Unicode key stroke a character.
void typeOnKeyboard(const QString &text)
{
    for (const QChar character : text) {
        INPUT strokes[2] = {};
        strokes[0].type = INPUT_KEYBOARD;
        strokes[0].ki.wScan = character.unicode();
        strokes[0].ki.dwFlags = KEYEVENTF_UNICODE;
        strokes[1] = strokes[0];
        strokes[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, strokes, sizeof(INPUT));
    }
}

QByteArray phoneLog()
{
    return readFile(qEnvironmentVariable("MORVEX_TEST_PHONE_LOG"));
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("MORVEX_TEST_PHONE_FOLDER") && PhoneFolder.exists(),
                 "no phones to talk to: scripts/windows serves them");
    }

    void aListedDeviceNotCalledComIsOpenedByItsName()
    {
        // Listed as a virtual null-modem driver lists its ports; the key lives as
        // long as the system runs.
        HKEY key = nullptr;
        QCOMPARE(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                                 REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr), LONG(ERROR_SUCCESS));
        const wchar_t name[] = L"CNCA0";
        QCOMPARE(RegSetValueExW(key, L"\\Device\\CNCA0", 0, REG_SZ, reinterpret_cast<const BYTE *>(name), sizeof name),
                 LONG(ERROR_SUCCESS));
        RegCloseKey(key);
        QVERIFY2(SerialDeviceNames().contains(QStringLiteral("CNCA0")), qPrintable(SerialDeviceNames().join(' ')));
        // Wine serves no device under such a name, so opening it fails; but it is that
        // device that is asked for, not a port number.
        OnPort program;
        QVERIFY(!program.connect(QStringLiteral("CNCA0")));
        const QStringList texts = program.prompts.messageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(QStringLiteral("1 CNCA0: ")), qPrintable(texts.first()));
    }

    void missingPortPointsToDeviceManager()
    {
        MSC control;
        QCOMPARE(control.setCommPort(19), std::nullopt);
        const MaybeFailure failure = control.setPortOpen(true);
        QVERIFY(failure);
        QCOMPARE(failure->code, 1);
        QVERIFY2(failure->description.startsWith(QStringLiteral("COM19: ")), qPrintable(failure->description));
        QVERIFY2(failure->description.contains(QStringLiteral("Device Manager")), qPrintable(failure->description));
        QVERIFY(!failure->description.contains(QStringLiteral("MORVEX_COM")));
        QVERIFY(!control.isPortOpen());
    }

    // Wine lets a second program open a serial device that one holds, so what
    // Windows reports then is given here.
    void heldPortAndOtherFailuresInWindowsWords()
    {
        OpenFailureFacts facts{QSerialPort::PermissionError, 5, "COM5", "Access is denied.", false, {}, {}};
        Failure failure = DescribeOpenFailure(facts);
        QCOMPARE(failure.code, 3);
        QVERIFY2(failure.description.startsWith(QStringLiteral("COM5: Access is denied. Another program holds the port")),
                 qPrintable(failure.description));
        QVERIFY(!failure.description.contains(QStringLiteral("ModemManager")));

        facts.error = QSerialPort::UnknownError;
        facts.reason = QStringLiteral("A device attached to the system is not functioning.");
        failure = DescribeOpenFailure(facts);
        QVERIFY2(failure.description.contains(QStringLiteral("driver")), qPrintable(failure.description));
    }

    void listsCopiesAndSaves_data()
    {
        QTest::addColumn<QString>("port");
        QTest::newRow("whole replies") << QStringLiteral("7");
        QTest::newRow("replies in pieces of up to 5 bytes") << QStringLiteral("8");
    }

    void listsCopiesAndSaves()
    {
        QFETCH(QString, port);
        OnPort program;
        QVERIFY(program.connect(port));
        QCOMPARE(lampColour(program.window), QColor(0, 255, 0));
        // The largest application, so that it takes several read requests.
        const QString name = PhoneFolder.entryList(QDir::Files, QDir::Size).first();
        const QByteArray content = readFile(PhoneFolder.filePath(name));
        QVERIFY(content.size() > 2 * 65535);

        QTemporaryDir saveFolder;
        const QString savePath = saveFolder.filePath(QStringLiteral("copy.jar"));
        program.prompts.savePaths.enqueue(savePath);
        QVERIFY(downloadEntry(program.window, name, 120000));
        QCOMPARE(program.prompts.proposedNames, QStringList{name});
        QCOMPARE(readFile(savePath), content);
        QCOMPARE(program.prompts.messageTexts(), QStringList{QStringLiteral("Data Saved to: \"%1\"").arg(savePath)});
    }

    void copyAllNumbersANameTheFolderHolds()
    {
        OnPort program;
        QVERIFY(program.connect("7"));
        const QStringList names = PhoneFolder.entryList(QDir::Files);
        QCOMPARE(names.size(), 3);
        QTemporaryDir target;
        const QString taken = names.last();
        QVERIFY(writeFile(target.filePath(taken), "mine"));
        const QString numbered = QFileInfo(taken).completeBaseName() + " (2)." + QFileInfo(taken).suffix();

        program.prompts.folders.enqueue(target.path());
        program.window.findChild<QAction *>("mnu_cmd_copyall")->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !isCopying(program.window) && !program.prompts.messages.isEmpty(); },
                                120000));
        QCOMPARE(program.prompts.messageTexts(), QStringList{QStringLiteral("Скопировано файлов: 3 из 3")});
        for (const QString &name : names) {
            const QString saved = name == taken ? numbered : name;
            QCOMPARE(readFile(target.filePath(saved)), readFile(PhoneFolder.filePath(name)));
        }
        QCOMPARE(readFile(target.filePath(taken)), QByteArray("mine"));
        QCOMPARE(QDir(target.path()).entryList(QDir::Files).size(), 4);
    }

    void escDuringAPieceSavesNothing()
    {
        OnPort program;
        QVERIFY(program.connect("9"));
        auto requests = [] { return phoneLog().count("AT*ERIF"); };
        const qsizetype before = requests();
        const QString name = PhoneFolder.entryList(QDir::Files, QDir::Size).first();
        program.list->setCurrentItem(program.list->findItems(name, Qt::MatchExactly).first());
        program.window.List2_DblClick();

        // Esc in the middle of the second piece.
        QTRY_COMPARE_WITH_TIMEOUT(requests(), before + 2, 10000);
        QTest::qWait(300);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!isCopying(program.window));
        QVERIFY(program.window.centralWidget()->isEnabled());

        // Refreshed while the phone still sends the rest of the piece.
        program.window.btnRefresh_Click();
        QVERIFY(program.listed());
        QTest::qWait(500);
        QCOMPARE(sorted(rows(program.list)), expectedRows());
        QCOMPARE(program.prompts.messageTexts(), QStringList());
        QVERIFY(program.prompts.proposedNames.isEmpty());
        QCOMPARE(requests(), before + 2);
    }

    void hangUpIsReportedAndAReconnectWorks()
    {
        OnPort program;
        QVERIFY(program.connect("10"));
        const QString name = PhoneFolder.entryList(QDir::Files, QDir::Size).first();
        QVERIFY(downloadEntry(program.window, name));
        // Said once, whether Windows first refuses the next request's write or not.
        const QStringList texts = program.prompts.messageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().contains(QStringLiteral(" COM10: связь с телефоном потеряна (")), qPrintable(texts.first()));
        QVERIFY2(texts.first().endsWith(QStringLiteral("Копирование прервано, файл не сохранён.")), qPrintable(texts.first()));
        QVERIFY(program.prompts.proposedNames.isEmpty());
        QCOMPARE(lampColour(program.window), QColor(255, 0, 0));

        // The phone is back, on a new line behind the same COM port.
        program.list->clear();
        for (int attempt = 0; attempt < 50; ++attempt) {
            program.prompts.messages.clear();
            program.window.btnConnect_Click();
            if (program.prompts.messages.isEmpty())
                break;
            QTest::qWait(200);
        }
        QVERIFY2(program.prompts.messages.isEmpty(), qPrintable(program.prompts.messageTexts().join('|')));
        QVERIFY(program.listed());
        QCOMPARE(lampColour(program.window), QColor(0, 255, 0));
    }

    void debugCommandLineGoesOutInWindows1251()
    {
        OnPort program;
        QVERIFY(program.connect("9"));
        program.window.nmuDebug_Click();
        auto *command = program.window.debugWindow()->findChild<QLineEdit *>("Text1");
        command->clear();
        command->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(program.window.debugWindow()));
        const qsizetype before = phoneLog().size();
        const QString line = QStringLiteral("AT+CMGW=\"Привет, Ёж №5\"");
        typeOnKeyboard(line);
        QTRY_COMPARE(command->text(), line);
        QTest::keyClick(command, Qt::Key_Return);
        QTRY_COMPARE(phoneLog().mid(before), QByteArray("AT+CMGW=\"\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9" "5\"\r"));
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
