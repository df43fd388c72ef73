// The serial control against a real pseudo-terminal.
#include "app/linesettings.h"
#include "app/msc.h"
#include "support/pseudoterminal.h"

#include <QTest>

namespace {

// What the user would be told, or nothing.
QString messageOf(const MaybeFailure &failure)
{
    return failure ? failure->message() : QString();
}

// Opens COM port 9 on the terminal with events for every received byte.
[[nodiscard]] bool openOn(MSC &control, const PseudoTerminal &phone, const char *settings = "115200,n,8,1")
{
    phone.mapToPort(9);
    control.setRThreshold(1);
    return !control.setCommPort(9) && !control.setSettings(QString::fromLatin1(settings)) && !control.setPortOpen(true);
}

} // namespace

class SerialControlTest : public QObject
{
    Q_OBJECT

private slots:
    // Port numbers map to devices; the settings text is read field by field.
    void portNumbersAndSettingsText()
    {
        qputenv("MORVEX_COM5", "/dev/ttyACM0");
        QCOMPARE(MSC::deviceForPort(5), QStringLiteral("/dev/ttyACM0"));
        qunsetenv("MORVEX_COM3");
        QCOMPARE(MSC::deviceForPort(3), QStringLiteral("/dev/ttyS2"));
        // The first port is 1; there is no port 0.
        MSC numbered;
        QCOMPARE(messageOf(numbered.setCommPort(1)), QString());
        QCOMPARE(messageOf(numbered.setCommPort(0)), QStringLiteral("103 Invalid port number"));

        using P = QSerialPort;
        const QList<std::tuple<const char *, qint32, P::Parity, P::DataBits, P::StopBits>> accepted{
            {"300,O,5,1.5", 300, P::OddParity, P::Data5, P::OneAndHalfStop},
            {" 9600 , m , 7 , 1 ", 9600, P::MarkParity, P::Data7, P::OneStop},
            {"2147483647,s,6,2", 2147483647, P::SpaceParity, P::Data6, P::TwoStop},
            {"1,E,8,2", 1, P::EvenParity, P::Data8, P::TwoStop},
            {"115200,N,8,1", 115200, P::NoParity, P::Data8, P::OneStop}};
        MSC control;
        for (const auto &[text, speed, parity, dataBits, stopBits] : accepted) {
            const std::optional<LineSettings> line = ParseLineSettings(QString::fromLatin1(text));
            QVERIFY2(line, text);
            QCOMPARE(std::tuple(line->speed, line->parity, line->dataBits, line->stopBits),
                     std::tuple(speed, parity, dataBits, stopBits));
            QCOMPARE(messageOf(control.setSettings(QString::fromLatin1(text))), QString());
        }
        for (const char *refused : {"9600,x,8,1", "9600,n,4,1", "9600,n,9,1", "9600,n,8,3", "9600,n,8"}) {
            QCOMPARE(messageOf(control.setSettings(QString::fromLatin1(refused))),
                     QStringLiteral("104 Invalid settings \"%1\"").arg(QLatin1String(refused)));
        }
    }

    void opensWithSettingsAndBothFlowControls()
    {
        PseudoTerminal phone;
        MSC control;
        QVERIFY(openOn(control, phone, "4800,n,8,2"));
        QCOMPARE(control.setHandshaking(MSC::RtsCtsXonXoff), std::nullopt);
        QCOMPARE(messageOf(control.setPortOpen(true)), QStringLiteral("3 Port already open"));
        QCOMPARE(messageOf(control.setCommPort(8)), QStringLiteral("3 Port already open"));

        const termios line = phone.lineSettings();
        QCOMPARE(cfgetospeed(&line), speed_t(B4800));
        // A pseudo-terminal keeps no parity or character size; the stop bits it keeps.
        QCOMPARE(line.c_cflag & (CSTOPB | CRTSCTS), tcflag_t(CSTOPB | CRTSCTS));
        QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));

        // Text goes out through windows-1251 in one write, and at once: the phone
        // can start on a command while the program is still busy.
        QCOMPARE(control.output(QStringLiteral("AT+X=\"Ж\"\r")), std::nullopt);
        QCOMPARE(phone.readWithoutEvents(), QByteArray("AT+X=\"\xC6\"\r"));

        QCOMPARE(control.setPortOpen(false), std::nullopt);
        QCOMPARE(messageOf(control.output(QStringLiteral("AT\r"))), QStringLiteral("13 Port is not open"));
    }

    void failuresOfTheDeviceReachTheCaller()
    {
        // Hung up with no event loop run since: the control learns of it only
        // inside the calls, and must tell their callers.
        for (const bool setting : {true, false}) {
            PseudoTerminal phone;
            MSC control;
            QVERIFY(openOn(control, phone));
            phone.hangUp();
            const MaybeFailure failure = setting ? control.setHandshaking(MSC::RtsCtsXonXoff)
                                                 : control.output(QStringLiteral("AT*ERIF=\"2F\",0,65535\r"));
            QVERIFY(failure);
            QVERIFY2(failure->description.startsWith(phone.slavePath() + QStringLiteral(": "))
                         && !failure->description.endsWith(QStringLiteral("No error")),
                     qPrintable(failure->message()));
        }
    }

    void deliversOneEventAtATime()
    {
        // What arrives while a handler waits is delivered after it, whether or not
        // the device then goes.
        for (const bool thenLost : {false, true}) {
            PseudoTerminal phone;
            MSC control;
            QVERIFY(openOn(control, phone));

            int depth = 0;
            int deepest = 0;
            QByteArray received;
            MaybeFailure writeAfterLoss;
            connect(&control, &MSC::onComm, this, [&] {
                deepest = qMax(deepest, ++depth);
                const QByteArray piece = control.input();
                received += piece;
                // Bytes that came with the loss: what they prompt fails as the loss.
                if (piece == "second" && thenLost)
                    writeAfterLoss = control.output(QStringLiteral("AT\r"));
                // The first handler sits in a modal loop, as a message box would, while
                // more arrives and the device may go.
                if (piece.startsWith("first")) {
                    phone.write("second");
                    QTest::qWait(50);
                    if (thenLost)
                        phone.hangUp();
                    QTest::qWait(50);
                }
                --depth;
            });

            phone.write("first");
            QTRY_COMPARE(received, QByteArray("firstsecond"));
            QCOMPARE(deepest, 1);
            if (!thenLost)
                continue;
            // The loss waited behind the data, and was not merged away with it.
            QTRY_COMPARE(control.commEvent(), int(SerialControl::DeviceLostEvent));
            QVERIFY(writeAfterLoss);
            QCOMPARE(writeAfterLoss->message(), control.eventFailure().message());
            QCOMPARE(messageOf(control.output(QStringLiteral("AT\r"))), QStringLiteral("13 Port is not open"));
        }
    }

    void lostDeviceIsOneEventAndKeepsWhatArrived()
    {
        PseudoTerminal phone;
        MSC control;
        QVERIFY(openOn(control, phone));

        QList<int> events;
        QByteArray received;
        bool leaveOnce = false;
        connect(&control, &MSC::onComm, this, [&] {
            events.append(control.commEvent());
            // Told to, it leaves the input once; a repeated event takes it, so a
            // repeat shows in the list instead of spinning.
            if (control.commEvent() == SerialControl::ReceiveEvent && !std::exchange(leaveOnce, false))
                received += control.input();
        });

        phone.write("AT");
        QTRY_COMPARE(received, QByteArray("AT"));
        // A reply left in the port is not offered again, and outlives the device.
        leaveOnce = true;
        phone.write("\r\nOK\r\n");
        QTRY_VERIFY(!leaveOnce);
        QCOMPARE(events.size(), 2);
        phone.hangUp();
        QTRY_VERIFY(events.contains(SerialControl::DeviceLostEvent));
        // Anything the loss left queued has run once this has.
        bool settled = false;
        QMetaObject::invokeMethod(this, [&] { settled = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(settled);

        const int receive = SerialControl::ReceiveEvent;
        QCOMPARE(events, (QList<int>{receive, receive, receive, SerialControl::DeviceLostEvent}));
        QCOMPARE(received, QByteArray("AT\r\nOK\r\n"));
        QVERIFY(!control.isPortOpen());
        // Said plainly, with the system's reason kept for whoever looks deeper.
        const QString lost = phone.slavePath() + QStringLiteral(": связь с телефоном потеряна (");
        QVERIFY2(control.eventFailure().description.startsWith(lost), qPrintable(control.eventFailure().description));
        QVERIFY(control.eventFailure().description.size() > lost.size() + 1);
        QVERIFY(control.eventFailure().description.endsWith(QLatin1Char(')')));
    }
};

QTEST_GUILESS_MAIN(SerialControlTest)
#include "tst_serialcontrol.moc"
