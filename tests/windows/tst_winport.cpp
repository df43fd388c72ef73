// What a Windows user is told when a COM port will not open.
#include "app/msc.h"
#include "app/openfailure.h"

#include <QTest>

class WindowsPortTest : public QObject
{
    Q_OBJECT

private slots:
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
};

QTEST_GUILESS_MAIN(WindowsPortTest)
#include "tst_winport.moc"
