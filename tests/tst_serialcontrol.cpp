// The serial control against a real pseudo-terminal.
#include "app/msc.h"
#include "support/pseudoterminal.h"

#include <QTest>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

class SerialControlTest : public QObject
{
    Q_OBJECT

private:
    void openOn(MSC &control, const PseudoTerminal &phone)
    {
        qputenv("MORVEX_COM9", phone.slavePath().toLocal8Bit());
        QCOMPARE(control.setCommPort(9), std::nullopt);
        QCOMPARE(control.setSettings(QStringLiteral("115200,n,8,1")), std::nullopt);
        QCOMPARE(control.setPortOpen(true), std::nullopt);
        control.setRThreshold(1);
    }

private slots:
    void portNumbersMapToDevices()
    {
        qputenv("MORVEX_COM5", "/dev/ttyACM0");
        QCOMPARE(MSC::deviceForPort(5), QStringLiteral("/dev/ttyACM0"));
        qunsetenv("MORVEX_COM3");
        QCOMPARE(MSC::deviceForPort(3), QStringLiteral("/dev/ttyS2"));
    }

    void refusesBadSettingsAndPorts()
    {
        MSC control;
        QCOMPARE(control.setCommPort(0)->code, 103);
        QCOMPARE(control.setSettings(QStringLiteral("fast,n,8,1"))->code, 104);
        QCOMPARE(control.setSettings(QStringLiteral(",n,8,1"))->code, 104);
        QCOMPARE(control.setSettings(QStringLiteral("99999999999,n,8,1"))->code, 104);
        QCOMPARE(control.output(QStringLiteral("AT\r"))->code, 13);

        qputenv("MORVEX_COM9", "/nonexistent/serial");
        QCOMPARE(control.setCommPort(9), std::nullopt);
        const MaybeFailure failure = control.setPortOpen(true);
        QVERIFY(failure);
        QCOMPARE(failure->code, 1);
        QVERIFY2(failure->description.startsWith(QStringLiteral("/nonexistent/serial: ")),
                 qPrintable(failure->description));
        QVERIFY(!control.isPortOpen());
    }

    void opensWithSettingsAndBothFlowControls()
    {
        PseudoTerminal phone;
        MSC control;
        qputenv("MORVEX_COM9", phone.slavePath().toLocal8Bit());
        QCOMPARE(control.setCommPort(9), std::nullopt);
        QCOMPARE(control.setSettings(QStringLiteral("4800,n,8,1")), std::nullopt);
        QCOMPARE(control.setPortOpen(true), std::nullopt);
        QCOMPARE(control.setHandshaking(MSC::RtsCtsXonXoff), std::nullopt);
        QCOMPARE(control.setPortOpen(true)->code, 3);

        const int slave = ::open(phone.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
        QVERIFY(slave >= 0);
        termios attributes{};
        QCOMPARE(tcgetattr(slave, &attributes), 0);
        ::close(slave);
        QVERIFY(attributes.c_cflag & CRTSCTS);
        QVERIFY(attributes.c_iflag & IXON);
        QVERIFY(attributes.c_iflag & IXOFF);
        QCOMPARE(cfgetospeed(&attributes), speed_t(B4800));

        // Text goes out through windows-1251 in one write, and at once: the phone
        // can start on a command while the program is still busy.
        QCOMPARE(control.output(QStringLiteral("AT+X=\"Ж\"\r")), std::nullopt);
        QCOMPARE(phone.readWithoutEvents(), QByteArray("AT+X=\"\xC6\"\r"));
    }

    void deliversOneEventAtATime()
    {
        PseudoTerminal phone;
        MSC control;
        openOn(control, phone);

        int depth = 0;
        int deepest = 0;
        QByteArray received;
        connect(&control, &MSC::onComm, this, [&] {
            ++depth;
            deepest = qMax(deepest, depth);
            if (control.commEvent() == SerialControl::ReceiveEvent) {
                const QByteArray piece = control.input();
                received += piece;
                // The first handler sits in a modal loop while more arrives.
                if (piece.startsWith("first")) {
                    phone.write("second");
                    QTest::qWait(100);
                    phone.write("third");
                    QTest::qWait(100);
                }
            }
            --depth;
        });

        phone.write("first");
        QTRY_COMPARE(received, QByteArray("firstsecondthird"));
        QCOMPARE(deepest, 1);
    }

    void lostDeviceIsOneEventAndKeepsWhatArrived()
    {
        PseudoTerminal phone;
        MSC control;
        openOn(control, phone);

        QList<int> events;
        QByteArray received;
        connect(&control, &MSC::onComm, this, [&] {
            events.append(control.commEvent());
            if (control.commEvent() == SerialControl::ReceiveEvent)
                received += control.input();
        });

        phone.write("\r\nOK\r\n");
        // The kernel drops what the program has not read when the other end closes.
        QTest::qWait(50);
        phone.hangUp();
        QTRY_VERIFY(events.contains(SerialControl::DeviceLostEvent));
        QTest::qWait(300);
        QCOMPARE(events.count(SerialControl::DeviceLostEvent), 1);
        QCOMPARE(received, QByteArray("\r\nOK\r\n"));
        QVERIFY(!control.isPortOpen());
        QVERIFY2(control.eventFailure().description.startsWith(phone.slavePath()),
                 qPrintable(control.eventFailure().description));

    }
};

QTEST_GUILESS_MAIN(SerialControlTest)
#include "tst_serialcontrol.moc"
