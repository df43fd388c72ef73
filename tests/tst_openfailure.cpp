// What the user is told when a port will not open.
#include "app/msc.h"
#include "app/openfailure.h"
#include "support/pseudoterminal.h"

#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the user is told on opening COM port n, mapped to the terminal's device.
QString openingMessage(MSC &control, const PseudoTerminal &phone, int port)
{
    phone.mapToPort(port);
    MaybeFailure failure = control.setCommPort(port);
    if (!failure)
        failure = control.setPortOpen(true);
    return failure ? failure->message() : QString();
}

} // namespace

class OpenFailureTest : public QObject
{
    Q_OBJECT

private slots:
    void missingDeviceNamesTheSettingAndTheDevicesThatExist()
    {
        OpenFailureFacts facts{QSerialPort::DeviceNotFoundError, 5, "/dev/ttyS4", "No such file or directory",
                               false, {}, {"/dev/ttyACM0", "/dev/ttyUSB0"}};
        QCOMPARE(DescribeOpenFailure(facts).message(),
                 QStringLiteral("1 /dev/ttyS4: No such file or directory. Pick the phone's device in the port "
                                "list or type its path, or set MORVEX_COM5 to it. Serial devices here: "
                                "/dev/ttyACM0, /dev/ttyUSB0."));
        // A path typed in the port field has no setting of its own.
        OpenFailureFacts typed = facts;
        typed.port = 0;
        typed.device = QStringLiteral("/dev/ttyACM3");
        QCOMPARE(DescribeOpenFailure(typed).message(),
                 QStringLiteral("1 /dev/ttyACM3: No such file or directory. Pick the phone's device in the port "
                                "list or type its path. Serial devices here: /dev/ttyACM0, /dev/ttyUSB0."));
        typed.serialDevices.clear();
        QVERIFY(DescribeOpenFailure(typed).description.endsWith(
            QStringLiteral("directory. No serial devices are connected: plug in the phone's cable.")));

        // Five names at most.
        facts.serialDevices.clear();
        for (int n = 0; n < 6; ++n)
            facts.serialDevices.append(QStringLiteral("/dev/ttyS%1").arg(n));
        QVERIFY(DescribeOpenFailure(facts).description.endsWith(QStringLiteral(": /dev/ttyS0, /dev/ttyS1, "
                                                                               "/dev/ttyS2, /dev/ttyS3, /dev/ttyS4, ….")));
        facts.serialDevices.removeLast();
        QVERIFY(DescribeOpenFailure(facts).description.endsWith(QStringLiteral(", /dev/ttyS4.")));
        facts.serialDevices.clear();
        QVERIFY(DescribeOpenFailure(facts).description.endsWith(
            QStringLiteral(" No serial devices are connected: plug in the phone's cable, or set MORVEX_COM5 to its device.")));
    }

    void deniedAccessNamesTheGroupToJoin()
    {
        OpenFailureFacts facts{QSerialPort::PermissionError, 5, "/dev/ttyACM0", "Permission denied", true, "uucp", {}};
        QCOMPARE(DescribeOpenFailure(facts).message(),
                 QStringLiteral("2 /dev/ttyACM0: Permission denied. The device belongs to group uucp; join it "
                                "with \"sudo usermod -aG uucp $USER\" and log in again."));
        facts.owningGroup.clear();
        QVERIFY(DescribeOpenFailure(facts).description.contains(QStringLiteral("group dialout; join it")));
    }

    void deviceHeldByAnotherOpenerIsBusy()
    {
        PseudoTerminal phone;
        MSC holder;
        MSC latecomer;
        QCOMPARE(openingMessage(holder, phone, 8), QString());
        const QString text = openingMessage(latecomer, phone, 8);
        QVERIFY2(text.startsWith(QStringLiteral("3 %1: ").arg(phone.slavePath())) && text.contains(u"ModemManager")
                     && text.contains(u"ID_MM_DEVICE_IGNORE=1"),
                 qPrintable(text));
    }

    void deniedAccessOnThisMachine()
    {
        if (::geteuid() == 0)
            QSKIP("root may open any device node");
        PseudoTerminal phone;
        QVERIFY(::chmod(phone.slavePath().toLocal8Bit().constData(), 0) == 0);
        MSC control;
        const QString text = openingMessage(control, phone, 6);
        QVERIFY2(text.startsWith(QStringLiteral("2 %1: ").arg(phone.slavePath())) && text.contains(u"usermod -aG"),
                 qPrintable(text));
    }
};

QTEST_GUILESS_MAIN(OpenFailureTest)
#include "tst_openfailure.moc"
