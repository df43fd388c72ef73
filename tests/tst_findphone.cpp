// Finding the phone by itself, from the window: among pseudo-terminals that never
// answer, a modem of another kind, a device another program holds and the phone.
#include "app/phonesearch.h"
#include "support/jobhelpers.h"
#include "support/phonereplies.h"
#include "support/searchedports.h"
#include "support/testfiles.h"
#include "support/windowfixture.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

using namespace Qt::StringLiterals;

class FindPhoneTest : public QObject
{
    Q_OBJECT

private slots:
    void findsThePhoneAmongDevicesThatAreNot()
    {
        SearchedPorts ports;
        PseudoTerminal &silent = ports.silent(3);
        PhoneSimulator *modem = ports.simulator(4, {}, {"--not-a-phone"});
        const QByteArray content = randomBytes(3000, 1);
        PhoneSimulator *phone = ports.simulator(7, {{"a.jar", content}, {"b.jar", "b"}});
        QVERIFY(modem && phone);
        WindowFixture main;
        QVERIFY(showAndWait(&main.window));
        QVERIFY(QTest::qWaitForWindowActive(&main.window));

        // From the port field, whose line edit has no use for the key.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
        auto *list = main.control<QListWidget>("List2");
        QTRY_COMPARE(rows(list), QStringList({"a.jar", "b.jar"}));
        QCOMPARE(main.portField->currentText(), u"7"_s);
        QCOMPARE(lampColour(main.window), QColor(0, 255, 0));
        QVERIFY(main.prompts.messages.isEmpty());
        QVERIFY(main.window.centralWidget()->isEnabled());
        // The list is the listing the search received: none was asked for again.
        QCOMPARE(phone->received(), "AT\r" + ListingLine);
        // Tried before the phone, as its number comes first; then let go.
        QCOMPARE(silent.read(3), QByteArray("AT\r"));
        for (const QString &device : {silent.slavePath(), modem->devicePath()}) {
            QSerialPort another(device);
            QVERIFY2(another.open(QIODevice::ReadWrite), qPrintable(device));
        }

        // Connected as Connect leaves it: a copy runs on the port.
        QTemporaryDir saved;
        main.prompts.savePaths.enqueue(saved.filePath("a.jar"));
        list->setCurrentRow(0);
        main.window.btnDownload_Click();
        QTRY_COMPARE(readFile(saved.filePath("a.jar")), content);
    }

    void notFoundSaysWhatEachPortDid()
    {
        SearchedPorts ports;
        // One device behind two numbers is tried once, under the first.
        PseudoTerminal &first = ports.silent(2);
        first.mapToPort(9);
        PseudoTerminal &second = ports.silent(3);
        PseudoTerminal &third = ports.silent(6);
        QVERIFY(ports.simulator(4, {}, {"--not-a-phone"}));
        QSerialPort otherProgram(ports.silent(5).slavePath());
        QVERIFY(otherProgram.open(QIODevice::ReadWrite));
        // What this program holds is left alone.
        PseudoTerminal &connected = ports.silent(8);
        WindowFixture main;
        main.connectWith(u"8"_s, u"57600"_s);
        QCOMPARE(connected.read(ListingLine.size()), ListingLine);

        // Lines it sends unasked do not keep it in the search.
        QTimer unasked;
        connect(&unasked, &QTimer::timeout, this, [&third] { third.write("\r\nRING\r\n"); });
        unasked.start(200);
        QElapsedTimer searching;
        searching.start();
        main.window.mnu_cmd_find_Click();
        for (PseudoTerminal *device : {&first, &second, &third}) {
            QCOMPARE(device->read(3), QByteArray("AT\r"));
            // Opened as Connect opens a port, at the speed field's speed.
            const termios line = device->lineSettings();
            QCOMPARE(cfgetospeed(&line), speed_t(B57600));
            QVERIFY(line.c_cflag & CRTSCTS);
            QCOMPARE(line.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!main.prompts.messages.isEmpty(), 10000);
        // All at once: over before a second deadline could have passed.
        QVERIFY2(searching.elapsed() < 2 * PhoneSearch::Deadline.count(), qPrintable(QString::number(searching.elapsed())));
        const QString told = main.prompts.messages.first().text;
        QVERIFY2(told.startsWith(u"Телефон не найден.\n"_s), qPrintable(told));
        QCOMPARE(linesAbout(told, {"2", "3", "4", "5", "6", "8", "9"}),
                 QStringList({u"2: не отвечает"_s, u"3: не отвечает"_s, u"4: отвечает, но это не телефон"_s,
                              u"5: не открывается (занят другой программой)"_s, u"6: не отвечает"_s}));
        QCOMPARE(main.prompts.messages.size(), 1);
        QVERIFY(main.window.centralWidget()->isEnabled());
        // Nothing more was written to any of them, nor to the port still connected.
        for (PseudoTerminal *device : {&first, &second, &third, &connected})
            QCOMPARE(device->readWithoutEvents(0), QByteArray());
    }

    void refusesTheBootLoaderSpeedAndSaysWhenThereIsNoPort()
    {
        PhoneSearch search;
        std::optional<SearchResult> result;
        connect(&search, &PhoneSearch::finished, this, [&](const SearchResult &ended) { result = ended; });
        for (const QString &speed : {u"1200"_s, u"fast"_s}) {
            const MaybeFailure refused = search.start({}, speed);
            QVERIFY(refused);
            QCOMPARE(refused->code, FailureCode::InvalidSettings);
        }
        QCOMPARE(search.start({}, u"115200"_s), std::nullopt);
        QTRY_VERIFY(result);
        QVERIFY(!result->found());
        QCOMPARE(result->notFound, u"Телефон не найден: нет ни одного последовательного порта."_s);
    }
};

QTEST_MAIN(FindPhoneTest)
#include "tst_findphone.moc"
