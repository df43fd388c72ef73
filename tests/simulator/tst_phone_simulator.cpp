// Drives the real morvex-phone over its pseudo-terminal, as the program does.
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QByteArray folderPath = "/tpa/preset/system/oaf/";

QByteArray hexPath(const QByteArray &path)
{
    return '"' + path.toHex().toUpper() + '"';
}

QByteArray listCommand(const QByteArray &path)
{
    return "AT*ELIF=" + hexPath(path);
}

QByteArray readCommand(const QByteArray &path, qint64 offset, qint64 length)
{
    return "AT*ERIF=" + hexPath(path) + ',' + QByteArray::number(offset) + ',' + QByteArray::number(length);
}

QByteArray readReply(const QByteArray &data, qint64 offset)
{
    return "\r\n*ERIF" + data.toHex().toUpper() + ':' + QByteArray::number(offset) + ','
        + QByteArray::number(data.size()) + "\r\n\r\nOK\r\n";
}

int unreadBytes(int fd)
{
    int count = -1;
    ioctl(fd, FIONREAD, &count);
    return count;
}

// One running simulator and a client end of its line.
class Phone {
public:
    explicit Phone(const QString &folder, const QStringList &options = {})
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(MORVEX_PHONE_PATH), options + QStringList { folder });
        QDeadlineTimer deadline(5000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(100);
        m_slavePath = m_process.readLine().trimmed();
        open();
    }

    ~Phone()
    {
        closeLine();
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }

    bool isOpen() const { return m_fd >= 0; }
    const QByteArray &slavePath() const { return m_slavePath; }
    QProcess &process() { return m_process; }

    void open()
    {
        m_fd = ::open(m_slavePath.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios settings {};
        tcgetattr(m_fd, &settings);
        cfmakeraw(&settings);
        tcsetattr(m_fd, TCSANOW, &settings);
    }

    void closeLine()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void send(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t written = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (written > 0) {
                done += written;
            } else {
                pollfd out { m_fd, POLLOUT, 0 };
                if (poll(&out, 1, 5000) <= 0)
                    return;
            }
        }
    }

    // Reads until a final result code ends the input, or until the timeout.
    QByteArray readReply(int timeoutMs = 5000)
    {
        return readUntil(timeoutMs, [](const QByteArray &got) {
            return got.endsWith("\r\nOK\r\n") || got.endsWith("\r\nERROR\r\n");
        });
    }

    // Everything that arrives within the time given.
    QByteArray readFor(int ms)
    {
        return readUntil(ms, [](const QByteArray &) { return false; });
    }

    // Sends a command line and returns everything up to its final result code.
    QByteArray command(const QByteArray &line)
    {
        send(line + '\r');
        return readReply();
    }

    // Like command(), for a line that is echoed: checks the echo and returns the answer after it.
    QByteArray answer(const QByteArray &line)
    {
        const QByteArray reply = command(line);
        const QByteArray echo = line + '\r';
        if (!reply.startsWith(echo))
            return "missing echo: " + reply;
        return reply.mid(echo.size());
    }

    // True once reading reports a dropped line (end of file or an error).
    bool lineDropped(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired()) {
            char byte;
            const ssize_t got = ::read(m_fd, &byte, 1);
            if (got == 0 || (got < 0 && errno != EAGAIN))
                return true;
            pollfd in { m_fd, POLLIN, 0 };
            poll(&in, 1, 50);
        }
        return false;
    }

private:
    template<typename Done>
    QByteArray readUntil(int timeoutMs, Done done)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (!done(got) && !deadline.hasExpired()) {
            pollfd in { m_fd, POLLIN, 0 };
            if (poll(&in, 1, int(qMax<qint64>(1, deadline.remainingTime()))) <= 0)
                continue;
            char buffer[65536];
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            got.append(buffer, count);
        }
        return got;
    }

    QProcess m_process;
    QByteArray m_slavePath;
    int m_fd = -1;
};

} // namespace

class PhoneSimulatorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void echoAndSettings();
    void listing();
    void fileReads();
    void chunkedDataAndFailedRead();
    void splitRepliesKeepTheirBytes();
    void flowControlPausesOutput();
    void newSessionStartsClean();
    void hangupDropsLineAfterReply();

private:
    void writeFile(const QString &name, const QByteArray &data);

    QTemporaryDir m_folder;
    QByteArray m_bigFile;
};

void PhoneSimulatorTest::writeFile(const QString &name, const QByteArray &data)
{
    QFile file(m_folder.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

void PhoneSimulatorTest::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QVERIFY(QDir(m_folder.path()).mkdir("games"));
    writeFile("games/Snake.jar", "snake");
    writeFile(QString::fromUtf8("Игра.jar"), QByteArray("PK\x03\x04\x00\xff", 6));
    writeFile("README", "hello");
    // Larger than one 65535-byte request, with every byte value in it.
    for (int i = 0; i < 70000; ++i)
        m_bigFile.append(char(i * 7 % 256));
    writeFile("big.bin", m_bigFile);
}

void PhoneSimulatorTest::echoAndSettings()
{
    Phone phone(m_folder.path());
    QVERIFY(phone.isOpen());
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
    phone.send("\r");
    QCOMPARE(phone.command("\nAT"), QByteArray("\r\nOK\r\n"));
    QCOMPARE(phone.command("ATE1"), QByteArray("\r\nOK\r\n"));
    QCOMPARE(phone.command("AT"), QByteArray("AT\r\r\nOK\r\n"));

    Phone silent(m_folder.path(), { "--no-echo" });
    QCOMPARE(silent.command("AT"), QByteArray("\r\nOK\r\n"));
}

void PhoneSimulatorTest::listing()
{
    Phone phone(m_folder.path());
    const QByteArray reply = phone.answer(listCommand(folderPath));
    QCOMPARE(reply,
             QByteArray("\r\n*ELIF: \"2E\",0,1"
                        "\r\n*ELIF: \"2E2E\",0,1"
                        "\r\n*ELIF: \"524541444D45\",5,0"             // README
                        "\r\n*ELIF: \"6269672E62696E\",70000,0"       // big.bin
                        "\r\n*ELIF: \"67616D6573\",0,1"               // games/
                        "\r\n*ELIF: \"D098D0B3D180D0B02E6A6172\",6,0" // Игра.jar
                        "\r\n\r\nOK\r\n"));
    // The client finds each name by its opening quote at the 8th character.
    for (const QByteArray &line : reply.split('\n')) {
        if (line.startsWith("*ELIF"))
            QCOMPARE(line.indexOf('"'), 7);
    }

    const QByteArray games = phone.answer(listCommand(folderPath + "games/"));
    QVERIFY2(games.contains("\r\n*ELIF: \"536E616B652E6A6172\",5,0\r\n"), games);
    // Without the trailing slash and in lower-case hex it is the same folder.
    QCOMPARE(phone.answer(listCommand(folderPath + "games").toLower().replace("at*elif", "AT*ELIF")), games);

    QCOMPARE(phone.answer(listCommand(folderPath + "missing/")), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer(listCommand("/tpa/preset/system/")), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer(listCommand(folderPath + "../")), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer("AT*ELIF=\"2F74Z\""), QByteArray("\r\nERROR\r\n"));
}

void PhoneSimulatorTest::fileReads()
{
    Phone phone(m_folder.path());
    const QByteArray game = folderPath + QString::fromUtf8("Игра.jar").toUtf8();
    QCOMPARE(phone.answer(readCommand(game, 0, 65535)), readReply(QByteArray("PK\x03\x04\x00\xff", 6), 0));
    QCOMPARE(phone.answer(readCommand(game, 2, 3)), readReply(QByteArray("\x03\x04\x00", 3), 2));
    QCOMPARE(phone.answer(readCommand(folderPath + "games/Snake.jar", 0, 65535)), readReply("snake", 0));

    // The program's way: 65535-byte pieces until one comes back shorter.
    const QByteArray big = folderPath + "big.bin";
    QCOMPARE(phone.answer(readCommand(big, 0, 65535)), readReply(m_bigFile.left(65535), 0));
    QCOMPARE(phone.answer(readCommand(big, 65535, 65535)), readReply(m_bigFile.mid(65535), 65535));
    QCOMPARE(phone.answer(readCommand(big, 70000, 65535)), QByteArray("\r\n*ERIF:70000,0\r\n\r\nOK\r\n"));
    QCOMPARE(phone.answer(readCommand(big, Q_INT64_C(5000000000), 65535)),
             QByteArray("\r\n*ERIF:5000000000,0\r\n\r\nOK\r\n"));

    QCOMPARE(phone.answer(readCommand(folderPath + "missing.jar", 0, 65535)), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer(readCommand(folderPath + "games", 0, 65535)), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer("AT*ERIF=" + hexPath(big) + ",0"), QByteArray("\r\nERROR\r\n"));
}

void PhoneSimulatorTest::chunkedDataAndFailedRead()
{
    Phone phone(m_folder.path(), { "--chunk-width", "4", "--fail-read", "2" });
    const QByteArray readme = readCommand(folderPath + "README", 0, 65535);
    QCOMPARE(phone.answer(readme), QByteArray("\r\n*ERIF6865\r\n*ERIF6C6C\r\n*ERIF6F:0,5\r\n\r\nOK\r\n"));
    QCOMPARE(phone.answer(readme), QByteArray("\r\nERROR\r\n"));
    QCOMPARE(phone.answer(readme), QByteArray("\r\n*ERIF6865\r\n*ERIF6C6C\r\n*ERIF6F:0,5\r\n\r\nOK\r\n"));
}

void PhoneSimulatorTest::splitRepliesKeepTheirBytes()
{
    Phone whole(m_folder.path());
    const QByteArray listing = whole.answer(listCommand(folderPath));
    for (const char *mode : { "safe", "anywhere" }) {
        Phone split(m_folder.path(), { "--split", mode, "--max-piece", "64", "--pause-us", "20", "--seed", "3" });
        QCOMPARE(split.answer(listCommand(folderPath)), listing);
        QCOMPARE(split.answer(readCommand(folderPath + "big.bin", 0, 65535)), readReply(m_bigFile.left(65535), 0));
    }
}

void PhoneSimulatorTest::flowControlPausesOutput()
{
    Phone phone(m_folder.path());
    phone.send("\x13" "AT\r");
    QCOMPARE(phone.readFor(300), QByteArray());
    // XON resumes, and neither character shows up in the echo.
    phone.send("\x11");
    QCOMPARE(phone.readReply(), QByteArray("AT\r\r\nOK\r\n"));
    QCOMPARE(phone.command("A\x13T\x11"), QByteArray("AT\r\r\nOK\r\n"));
}

void PhoneSimulatorTest::newSessionStartsClean()
{
    Phone phone(m_folder.path());
    QCOMPARE(phone.command("ATE0"), QByteArray("ATE0\r\r\nOK\r\n"));
    // Leave a large reply unread, as a client does when it disconnects mid-copy.
    phone.send(readCommand(folderPath + "big.bin", 0, 65535) + "\r");
    // A second end of the line, never read, shows what waits in the line.
    const int observer = ::open(phone.slavePath().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(observer >= 0);
    QTRY_VERIFY(unreadBytes(observer) > 0);
    phone.closeLine();
    QTRY_COMPARE(unreadBytes(observer), 0);
    ::close(observer);

    // The new session gets its own answer only, with the start-up echo setting.
    phone.open();
    QVERIFY(phone.isOpen());
    QCOMPARE(phone.command("AT"), QByteArray("AT\r\r\nOK\r\n"));
}

void PhoneSimulatorTest::hangupDropsLineAfterReply()
{
    Phone phone(m_folder.path(), { "--hangup-after", "2" });
    const QByteArray readme = readCommand(folderPath + "README", 0, 65535);
    QCOMPARE(phone.answer(readme), readReply("hello", 0));
    QCOMPARE(phone.answer(readme), readReply("hello", 0));
    QVERIFY(phone.process().waitForFinished(5000));
    QCOMPARE(phone.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(phone.process().exitCode(), 0);
    QVERIFY(phone.lineDropped(2000));
}

QTEST_GUILESS_MAIN(PhoneSimulatorTest)
#include "tst_phone_simulator.moc"
