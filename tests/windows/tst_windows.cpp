// What only the Windows build has: Windows' own serial ports and its keyboard.
// The whole job runs under Wine in the end-to-end and copy-all tests.
#include "app/msc.h"
#include "app/openfailure.h"
#include "app/serialdevices.h"
#include "support/session.h"
#include "support/windowfixture.h"

#include <windows.h>

namespace {

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

// Lists the port as a serial driver does; the entry lives as long as the system runs.
bool listAsSerialDevice(const std::wstring &name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring device = L"\\Device\\" + name;
    const LONG set = RegSetValueExW(key, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(name.c_str()),
                                    DWORD((name.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void aListedDeviceNotCalledComIsOpenedByItsName()
    {
        // Listed as a virtual null-modem driver lists its ports.
        QVERIFY(listAsSerialDevice(L"CNCA0"));
        QVERIFY2(SerialDeviceNames().contains(QStringLiteral("CNCA0")), qPrintable(SerialDeviceNames().join(' ')));
        // Wine serves no device under such a name, so opening it fails; but it is that
        // device that is asked for, not a port number.
        WindowFixture main;
        main.connectWith(QStringLiteral("CNCA0"));
        const QStringList texts = main.prompts.messageTexts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts.first().startsWith(QStringLiteral("1 CNCA0: ")), qPrintable(texts.first()));
    }

    // Wine lists only the COM ports of its own set-up: the two behind the simulators
    // are listed as a driver's ports are.
    void searchOverTheComPortsFindsThePhone()
    {
        QVERIFY(listAsSerialDevice(L"COM5") && listAsSerialDevice(L"COM6"));
        QTemporaryDir phoneFolder, modemFolder;
        const std::unique_ptr<PhoneSimulator> phone = ServeFiles(phoneFolder, {{"a.jar", "a"}});
        const std::unique_ptr<PhoneSimulator> modem = ServeFiles(modemFolder, {}, {"--not-a-phone"});
        QVERIFY(phone && modem);
        phone->mapToPort(5);
        modem->mapToPort(6);
        WindowFixture main;
        main.window.mnu_cmd_find_Click();
        QTRY_COMPARE_WITH_TIMEOUT(rows(main.control<QListWidget>("List2")), QStringList{"a.jar"}, 10000);
        QCOMPARE(main.portField->currentText(), QStringLiteral("5"));
        QCOMPARE(main.prompts.messageTexts(), QStringList());
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

    void debugCommandLineGoesOutInWindows1251()
    {
        Session session;
        QVERIFY(session.start({{"a.jar", "a"}}));
        session.window->nmuDebug_Click();
        auto *command = session.window->debugWindow()->findChild<QLineEdit *>("Text1");
        command->clear();
        command->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(session.window->debugWindow()));
        const qsizetype before = session.phone->received().size();
        const QString line = QStringLiteral("AT+CMGW=\"Привет, Ёж №5\"");
        typeOnKeyboard(line);
        QTRY_COMPARE(command->text(), line);
        QTest::keyClick(command, Qt::Key_Return);
        QTRY_COMPARE(session.phone->received().mid(before),
                     QByteArray("AT+CMGW=\"\xCF\xF0\xE8\xE2\xE5\xF2, \xA8\xE6 \xB9" "5\"\r"));
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
