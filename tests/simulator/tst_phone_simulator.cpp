// Drives the real morvex-phone over its pseudo-terminal, as the program does.
#include "support/phonesimulator.h"
#include "support/testfiles.h"

#include <QDir>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

const QByteArray folderPath = "/tpa/preset/system/oaf/";

// An AT*ELIF or AT*ERIF line, naming a path on the phone in hex.
QByteArray pathCommand(const QByteArray &command, const QByteArray &path, const QByteArray &arguments = {})
{
    return command + "=\"" + path.toHex().toUpper() + '"' + arguments;
}

// A running simulator and a client on its line.
struct Phone {
    explicit Phone(const QString &folder, const QStringList &options = {})
        : simulator(folder, options)
        , line(simulator.devicePath())
    {
        line.open(QIODevice::ReadWrite);
    }

    // Everything up to a final result code, or what came before the line fell silent.
    QByteArray reply()
    {
        QByteArray got = line.readAll();
        while (!got.endsWith("\r\nOK\r\n") && !got.endsWith("\r\nERROR\r\n") && line.waitForReadyRead(5000))
            got += line.readAll();
        return got;
    }

    QByteArray command(const QByteArray &text)
    {
        line.write(text + '\r');
        return reply();
    }

    // Like command(), for a line that is echoed: checks the echo and returns the answer after it.
    QByteArray answer(const QByteArray &text)
    {
        const QByteArray got = command(text);
        const QByteArray echo = text + '\r';
        return got.startsWith(echo) ? got.mid(echo.size()) : "missing echo: " + got;
    }

    PhoneSimulator simulator;
    QSerialPort line;
};

} // namespace

class PhoneSimulatorTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_folder;

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        QVERIFY(QDir(m_folder.path()).mkdir("games"));
        // Larger than one 65535-byte request.
        QVERIFY(writeFile(m_folder.filePath("big.bin"), QByteArray(70000, 'b')));
        QVERIFY(writeFile(m_folder.filePath("a\x01.jar"), "x"));
    }

    void errorsEchoAndSettings()
    {
        Phone phone(m_folder.path());
        // The program's own requests are tried against the simulator end to end; these
        // are the ones it never makes.
        for (const QByteArray &command :
             {pathCommand("AT*ELIF", folderPath + "missing/"), pathCommand("AT*ELIF", "/tpa/preset/system/"),
              pathCommand("AT*ELIF", folderPath + "../"), QByteArray("AT*ELIF=\"2F74Z\""),
              pathCommand("AT*ERIF", folderPath + "missing.jar", ",0,65535"),
              pathCommand("AT*ERIF", folderPath + "games", ",0,65535"),
              pathCommand("AT*ERIF", folderPath + "big.bin", ",0"),
              "AT*ERIF=\"" + folderPath.toHex().toUpper() + "6112E6A6172\",0,9"}) // 0x01 as one digit
            QCOMPARE(phone.answer(command), QByteArray("\r\nERROR\r\n"));
        QCOMPARE(phone.answer(pathCommand("AT*ERIF", folderPath + "a\x01.jar", ",0,9")),
                 "\r\n*ERIF78:0,1\r\n\r\nOK\r\n");

        QCOMPARE(phone.command("AT"), QByteArray("AT\r\r\nOK\r\n"));
        QCOMPARE(phone.command("at+cscs?"), QByteArray("at+cscs?\r\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n"));
        QCOMPARE(phone.answer("AT+CSCS=\"UTF-8\""), QByteArray("\r\nOK\r\n"));
        QCOMPARE(phone.answer("AT+CSCS?"), QByteArray("\r\n+CSCS: \"UTF-8\"\r\n\r\nOK\r\n"));
        QCOMPARE(phone.answer("AT+CSCS=\"NOSUCHSET\""), QByteArray("\r\nERROR\r\n"));
        QVERIFY(phone.answer("AT+CSCS=?").startsWith("\r\n+CSCS: (\"GSM\",\"IRA\",\"UTF-8\",\"8859-1\""));

        // The ATE0 line itself is still echoed; nothing after it is.
        QCOMPARE(phone.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
        QCOMPARE(phone.command("AT"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(phone.command("hello"), QByteArray("\r\nERROR\r\n"));
        QCOMPARE(phone.command("AT+NOSUCH"), QByteArray("\r\nERROR\r\n"));
        // An empty line and a line feed after the CR get no answer of their own.
        QCOMPARE(phone.command("\r\nAT"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(phone.command("ATE1"), QByteArray("\r\nOK\r\n"));
        QCOMPARE(phone.command("AT"), QByteArray("AT\r\r\nOK\r\n"));

        Phone silent(m_folder.path(), {"--no-echo"});
        QCOMPARE(silent.command("AT"), QByteArray("\r\nOK\r\n"));
    }

    void notAPhoneAnswersOnlyTheModemCommands()
    {
        Phone modem(m_folder.path(), {"--not-a-phone"});
        for (const QByteArray &command : {QByteArray("AT"), QByteArray("ATI"), QByteArray("ATE1")})
            QCOMPARE(modem.answer(command), QByteArray("\r\nOK\r\n"));
        for (const QByteArray &command : {pathCommand("AT*ELIF", folderPath), QByteArray("AT+CSCS?")})
            QCOMPARE(modem.answer(command), QByteArray("\r\nERROR\r\n"));
    }

    void flowControlPausesOutputAndLogKeepsEveryByte()
    {
        Phone phone(m_folder.path());
        phone.line.write("\x13" "AT\r");
        // Once the phone has taken the command in, a reply would follow at once.
        QTRY_COMPARE(phone.simulator.received(), QByteArray("\x13" "AT\r"));
        QCOMPARE(phone.line.bytesAvailable(), 0);
        QVERIFY(!phone.line.waitForReadyRead(200));
        // XON resumes, and neither character shows up in the echo.
        phone.line.write("\x11");
        QCOMPARE(phone.reply(), QByteArray("AT\r\r\nOK\r\n"));
        QCOMPARE(phone.command("A\x13T\x11"), QByteArray("AT\r\r\nOK\r\n"));
        QCOMPARE(phone.simulator.received(), QByteArray("\x13" "AT\r\x11" "A\x13T\x11\r"));
    }

    void corruptReadChangesOneDataDigitOnce()
    {
        Phone phone(m_folder.path(), {"--corrupt-read", "2", "--seed", "7"});
        const QByteArray request = pathCommand("AT*ERIF", folderPath + "big.bin", ",0,100");
        const QByteArray right = "\r\n*ERIF" + QByteArray(100, 'b').toHex().toUpper() + ":0,100\r\n\r\nOK\r\n";
        QCOMPARE(phone.answer(request), right);
        const QByteArray wrong = phone.answer(request);
        QCOMPARE(wrong.size(), right.size());
        const qsizetype changed = std::mismatch(right.begin(), right.end(), wrong.begin()).first - right.begin();
        // Among the data digits, and a digit still; nothing else differs.
        QVERIFY(changed >= 7 && changed < 207);
        QVERIFY(QByteArray("0123456789ABCDEF").contains(wrong[changed]));
        QCOMPARE(wrong.mid(changed + 1), right.mid(changed + 1));
        QCOMPARE(phone.answer(request), right);
    }

    void damagedCountsComeOnceEach()
    {
        const QByteArray request = pathCommand("AT*ERIF", folderPath + "big.bin", ",0,100");
        const QByteArray hex = QByteArray(100, 'b').toHex().toUpper();
        const auto reply = [](const QByteArray &data, int count) {
            return "\r\n*ERIF" + data + ":0," + QByteArray::number(count) + "\r\n\r\nOK\r\n";
        };
        Phone counting(m_folder.path(), {"--bad-count-read", "1"});
        QCOMPARE(counting.answer(request), reply(hex, 110));
        QCOMPARE(counting.answer(request), reply(hex, 100));
        Phone shortening(m_folder.path(), {"--short-data-read", "2"});
        QCOMPARE(shortening.answer(request), reply(hex, 100));
        QCOMPARE(shortening.answer(request), reply(hex.chopped(2), 100));
        QCOMPARE(shortening.answer(request), reply(hex, 100));
    }

    void newSessionStartsClean()
    {
        Phone phone(m_folder.path());
        // A second end of the line, never read, shows what waits in the line. It is
        // opened while the client is away, as the client claims exclusive use.
        phone.line.close();
        const int observer = ::open(qPrintable(phone.simulator.devicePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(observer >= 0);
        const auto closeObserver = qScopeGuard([observer] { ::close(observer); });
        const auto unread = [observer] {
            int count = -1;
            ioctl(observer, FIONREAD, &count);
            return count;
        };

        QVERIFY(phone.line.open(QIODevice::ReadWrite));
        QCOMPARE(phone.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
        // Leave a large reply unread, as a client does when it disconnects mid-copy:
        // the client takes in a single byte, the rest waits in the line.
        phone.line.setReadBufferSize(1);
        phone.line.write(pathCommand("AT*ERIF", folderPath + "big.bin", ",0,65535") + '\r');
        QTRY_VERIFY(unread() > 0);
        phone.line.close();
        QTRY_COMPARE(unread(), 0);

        // The new session gets its own answer only, with the start-up echo setting.
        phone.line.setReadBufferSize(0);
        QVERIFY(phone.line.open(QIODevice::ReadWrite));
        QCOMPARE(phone.command("AT"), QByteArray("AT\r\r\nOK\r\n"));
    }
};

QTEST_GUILESS_MAIN(PhoneSimulatorTest)
#include "tst_phone_simulator.moc"
