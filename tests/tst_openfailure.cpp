// What the user is told when a port will not open.
#include "app/msc.h"
#include "app/openfailure.h"
#include "support/pseudoterminal.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class OpenFailureTest : public QObject
{
    Q_OBJECT

private slots:
    void missingDeviceNamesTheSettingAndTheDevicesThatExist()
    {
        OpenFailureFacts facts{QSerialPort::DeviceNotFoundError, 5, "/dev/ttyS4", "No such file or directory",
                               false, {}, {"/dev/ttyACM0", "/dev/ttyUSB0"}};
        const Failure failure = DescribeOpenFailure(facts);
        QCOMPARE(failure.code, 1);
        QCOMPARE(failure.description,
                 QStringLiteral("/dev/ttyS4: No such file or directory. Set MORVEX_COM5 to the phone's device. "
                                "Serial devices here: /dev/ttyACM0, /dev/ttyUSB0."));

        facts.serialDevices = QStringList(9, QStringLiteral("/dev/ttyS0"));
        QVERIFY(DescribeOpenFailure(facts).description.endsWith(QStringLiteral("/dev/ttyS0, ….")));
        facts.serialDevices.clear();
        QVERIFY(DescribeOpenFailure(facts).description.endsWith(QStringLiteral("No serial devices are connected.")));
    }

    void deniedAccessNamesTheGroupToJoin()
    {
        const OpenFailureFacts facts{QSerialPort::PermissionError, 5, "/dev/ttyACM0", "Permission denied",
                                     true, "uucp", {}};
        const Failure failure = DescribeOpenFailure(facts);
        QCOMPARE(failure.message(),
                 QStringLiteral("2 /dev/ttyACM0: Permission denied. The device belongs to group uucp; join it "
                                "with \"sudo usermod -aG uucp $USER\" and log in again."));
    }

    void missingDeviceOnThisMachine()
    {
        qputenv("MORVEX_COM7", "/nonexistent/ttyACM9");
        MSC control;
        QCOMPARE(control.setCommPort(7), std::nullopt);
        const MaybeFailure failure = control.setPortOpen(true);
        QVERIFY(failure);
        QCOMPARE(failure->code, 1);
        QVERIFY2(failure->description.startsWith(QStringLiteral("/nonexistent/ttyACM9: ")), qPrintable(failure->description));
        QVERIFY(failure->description.contains(QStringLiteral("MORVEX_COM7")));
    }

    void deviceHeldByAnotherOpenerIsBusy()
    {
        PseudoTerminal phone;
        qputenv("MORVEX_COM8", phone.slavePath().toLocal8Bit());
        MSC holder;
        MSC latecomer;
        QCOMPARE(holder.setCommPort(8), std::nullopt);
        QCOMPARE(holder.setPortOpen(true), std::nullopt);
        QCOMPARE(latecomer.setCommPort(8), std::nullopt);
        const MaybeFailure failure = latecomer.setPortOpen(true);
        QVERIFY(failure);
        QCOMPARE(failure->code, 3);
        QVERIFY2(failure->description.startsWith(phone.slavePath() + QStringLiteral(": ")), qPrintable(failure->description));
        QVERIFY(failure->description.contains(QStringLiteral("ModemManager")));
        QVERIFY(failure->description.contains(QStringLiteral("ID_MM_DEVICE_IGNORE")));
    }

    void deniedAccessOnThisMachine()
    {
        if (::geteuid() == 0)
            QSKIP("root may open any device node");
        PseudoTerminal phone;
        QVERIFY(::chmod(phone.slavePath().toLocal8Bit().constData(), 0) == 0);
        qputenv("MORVEX_COM6", phone.slavePath().toLocal8Bit());
        MSC control;
        QCOMPARE(control.setCommPort(6), std::nullopt);
        const MaybeFailure failure = control.setPortOpen(true);
        QVERIFY(failure);
        QCOMPARE(failure->code, 2);
        QVERIFY(failure->description.contains(QStringLiteral("usermod -aG")));
    }
};

QTEST_GUILESS_MAIN(OpenFailureTest)
#include "tst_openfailure.moc"
