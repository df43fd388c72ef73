// The phone link's handling of what the phone sends, fed piece by piece without a
// port or windows.
#include "app/replydrain.h"
#include "phonefs/download.h"
#include "phonefs/filereader.h"
#include "phonefs/savedownload.h"
#include "support/fakephone.h"
#include "samples/jarbuilder.h"
#include "support/phonereplies.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray Listing = ListingReply({"..", "game.jar", "Игра.jar"});
const QStringList Listed{"game.jar", "Игра.jar"};
const QString CommandError = QStringLiteral("Ошибочная комманда");

// Answers every outstanding read request from the file's bytes; line may change
// a reply on its way, given the piece's offset.
void answerReads(FakePhone &phone, const QByteArray &file,
                 const std::function<void(qint64, QByteArray &)> &line = {}, bool inHalves = false)
{
    for (qsizetype answered = 0; answered < phone.port.written.size() && phone.view.downloadRunning;) {
        const QString request = phone.port.written.at(answered++);
        if (!request.startsWith(QLatin1String("AT*ERIF")))
            continue;
        const qint64 offset = request.section(QLatin1Char(','), 1, 1).toLongLong();
        const QByteArray piece = file.mid(offset, PieceLength);
        QByteArray reply = ReadReply(request.toLatin1(), piece, piece.size());
        if (line)
            line(offset, reply);
        // In halves, the progress is shown while a reply arrives.
        phone.receiveInPieces(reply, inHalves ? QList<qsizetype>{reply.size() / 2} : QList<qsizetype>());
    }
}

} // namespace

class DispatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void aPieceMayEndOneReplyAndBeginTheNext()
    {
        // Asked again before the listing came, the phone sends the next right behind
        // it; wherever a piece ends, each is shown once and whole.
        const QByteArray thrice = Listing + Listing + Listing;
        for (qsizetype cut = 1; cut < thrice.size(); ++cut) {
            FakePhone phone;
            phone.receiveInPieces(thrice, {cut});
            QCOMPARE(phone.view.readableNames, Listed);
            QCOMPARE(phone.view.statusTexts, QList<QByteArray>({"", "", ""}));
        }
    }

    void replyInPiecesIsRoutedOnceAndCounted()
    {
        FakePhone phone;
        // "OK" split between two pieces, the closing CR LF in a third.
        const qsizetype okAt = Listing.lastIndexOf("OK");
        phone.receiveInPieces(Listing, {10, okAt + 1, okAt + 2});
        QCOMPARE(phone.view.readableNames, Listed);
        QCOMPARE(phone.view.statusTexts, QList<QByteArray>{QByteArray()});
        QCOMPARE(phone.view.traffic, Listing);
        QCOMPARE(phone.view.pieceLengths, QList<qsizetype>({10, okAt + 1 - 10, 1, 2}));
        QVERIFY(phone.prompts.messages.isEmpty());

        // The next reply starts clean: its echo is line 0 again, and a listing shows
        // its entries in place of the last one's.
        phone.receive(Listing);
        QCOMPARE(phone.view.readableNames, Listed);

        // The closing CR LF late, byte by byte, still starts the next reply clean.
        phone.receiveInPieces(Listing, {Listing.size() - 2, Listing.size() - 1});
        QCOMPARE(phone.view.readableNames, Listed);
        QCOMPARE(phone.startDownload(0), std::nullopt);
        const QByteArray reply = ReadReply(phone.lastRequest(), "hi", 2);
        // Cut right after "OK": the CR LF comes with the next piece.
        phone.receive(reply.chopped(2));
        QCOMPARE(phone.prompts.offeredBytes, QByteArrayList{"hi"});
        phone.receive("\r\n" + Listing);
        QCOMPARE(phone.view.readableNames, Listed);
        QCOMPARE(phone.view.statusTexts.last(), QByteArray());

        // The progress counts the digits as they arrive; in marked lines the markers'
        // letters are no data.
        QCOMPARE(phone.startDownload(0), std::nullopt);
        const QByteArray echo = phone.lastRequest();
        const QByteArray marked = ReadReply(echo, QByteArray(PieceLength, 'z'), PieceLength, 4096);
        phone.receiveInPieces(marked, {echo.size() + 3, echo.size() + 7 + 1001, marked.indexOf(':')});
        const QByteArray next = ReadReply(phone.lastRequest(), "abc", 3);
        phone.receive(next.first(next.indexOf(':') - 1));
        QCOMPARE(phone.view.progress, (QList<qint64>{0, 500, PieceLength, PieceLength, PieceLength + 2}));
    }

    void resultCodesEndExchangesAsSent()
    {
        FakePhone phone;
        phone.view.downloadRunning = true;
        phone.receive("AT*ELIF=\"2F\"\r\r\nER");
        phone.receive("ROR\r\n");
        QCOMPARE(phone.prompts.messageTexts(), QStringList{CommandError});
        QCOMPARE(phone.prompts.messages.first().icon, Prompts::Icon::None);
        QVERIFY(!phone.view.downloadRunning);

        // The failed text does not stand in front of the next listing.
        phone.receive(Listing);
        QCOMPARE(phone.view.readableNames, Listed);
        QCOMPARE(phone.prompts.messages.size(), 1);
        // With echo off the result code can be all there is.
        phone.receive("ERROR\r\n");
        QCOMPARE(phone.prompts.messageTexts(), QStringList(2, CommandError));

        // ERROR and OK in one piece: the error shows, then the listing is routed.
        phone.receive(ListingLine + "\r\n*ELIF: \"612E62\"\r\n\r\nERROR\r\nOK\r\n");
        QCOMPARE(phone.prompts.messageTexts(), QStringList(3, CommandError));
        QCOMPARE(phone.view.readableNames, QStringList{"a.b"});
        QVERIFY(phone.state().echoBuffer.isEmpty());

        // A read as typed in the debug window: the reply names no file being copied.
        phone.receive(ReadReply("AT*ERIF=\"2F612E6A6172\",0,65535\r", "typed", 5));
        QVERIFY(phone.prompts.offeredBytes.isEmpty());
        QCOMPARE(phone.prompts.messages.size(), 3);
        QVERIFY(phone.state().download.fileData.isEmpty());

        // A result code is a line of its own: the same letters in an echo or in a line
        // of data end nothing, however the pieces fall.
        phone.view.completed.clear();
        const QByteArray typed = "AT+CSCS=\"OKAY\"\r\r\n+X: \"ERRORS\"\r\nOKAY\r\n\r\n+CME ERROR: 4\r\n";
        phone.receiveInPieces(typed + Listing, {13, 14, 29, 32, typed.size() - 3, typed.size() - 1, typed.size()});
        QCOMPARE(phone.view.completed, (QByteArrayList{'!' + typed.chopped(5), Listing.chopped(2)}));
        QCOMPARE(phone.prompts.messageTexts(), QStringList(4, CommandError));
        QCOMPARE(phone.view.readableNames, Listed);

        // Lower-case keywords end nothing.
        const QList<QByteArray> statusTexts = phone.view.statusTexts;
        phone.receive(ListingLine + "\r\nok\r\nerror\r\n");
        QCOMPARE(phone.view.statusTexts, statusTexts);
        QCOMPARE(phone.prompts.messages.size(), 4);
        QVERIFY(!phone.state().replyBuffer.isEmpty());
    }

    void downloadRunsPieceByPieceAndSaves()
    {
        QTemporaryDir folder;
        FakePhone phone;
        QCOMPARE(phone.link.refresh(), std::nullopt);
        phone.receive(Listing);
        const QByteArray file = randomBytes(2 * PieceLength + 1234, 3);

        phone.prompts.savePaths.enqueue(folder.filePath("game.jar"));
        QCOMPARE(phone.startDownload(1), std::nullopt);
        QVERIFY(phone.view.downloadRunning);
        // The entry is fixed at the start: what the lists show meanwhile does not matter.
        phone.view.clearEntries();
        // A line the phone sends unasked before an echo hides no reply.
        answerReads(phone, file, [](qint64, QByteArray &reply) { reply.prepend("\r\nRING\r\n"); });

        const QString read = QStringLiteral("AT*ERIF=\"2F7470612F7072657365742F73797374656D2F6F61662FD098D0B3D180"
                                            "D0B02E6A6172\",%1,65535\r");
        QCOMPARE(phone.port.written.mid(1),
                 (QStringList{read.arg(0), read.arg(PieceLength), read.arg(2 * PieceLength)}));
        QCOMPARE(phone.view.progress, QList<qint64>({PieceLength, 2 * PieceLength}));
        QCOMPARE(phone.prompts.proposedNames, QStringList{"Игра.jar"});
        QCOMPARE(readFile(folder.filePath("game.jar")), file);
        QCOMPARE(phone.prompts.beeps, 1);
        QCOMPARE(phone.prompts.messageTexts().last(),
                 QStringLiteral("Data Saved to: \"%1\"").arg(folder.filePath("game.jar")));
        QVERIFY(!phone.view.downloadRunning);
        QCOMPARE(phone.state().download.state, Download::State::Idle);
        QVERIFY(phone.state().download.fileData.isEmpty());
    }

    void copiesAreCheckedAndReadAgain_data()
    {
        QTest::addColumn<QString>("damage"); // once on the line, on the phone, or on every read
        QTest::addColumn<bool>("run");
        QTest::addColumn<bool>("keep"); // the answer to the warning
        for (const bool run : {false, true}) {
            QTest::addRow("on the line%s", run ? ", in a run" : "") << "line" << run << false;
            QTest::addRow("on the phone%s", run ? ", in a run" : "") << "phone" << run << true;
        }
        QTest::newRow("on the phone, not kept") << "phone" << false << false;
        QTest::newRow("on every read") << "always" << false << true;
    }

    void copiesAreCheckedAndReadAgain()
    {
        QFETCH(QString, damage);
        QFETCH(bool, run);
        QFETCH(bool, keep);
        // Four pieces; the second entry runs from the second into the fourth.
        QByteArray onPhone = BuildJar({{"a.bin", randomBytes(70000, 1), false},
                                       {"b.bin", randomBytes(150000, 2), false},
                                       {"META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\n"}}).bytes;
        if (damage == "phone")
            onPhone[2 * PieceLength + 10] = char(onPhone[2 * PieceLength + 10] ^ 1);
        int thirdPieceReads = 0;
        const auto line = [&](qint64 offset, QByteArray &reply) {
            const bool hit = offset == 2 * PieceLength && (damage == "always" || (damage == "line" && !thirdPieceReads));
            thirdPieceReads += offset == 2 * PieceLength;
            const qsizetype digit = reply.indexOf("\r\n*ERIF") + 27 + thirdPieceReads;
            if (hit)
                reply[digit] = reply[digit] == '0' ? '1' : '0';
        };

        QTemporaryDir folder;
        FakePhone phone(ListingReply({"game.jar"}));
        phone.prompts.questionAnswers.enqueue(keep);
        phone.prompts.savePaths.enqueue(folder.filePath("game.jar"));
        QCOMPARE(run ? phone.link.copyAll(folder.path(), {{"game.jar", "game.jar"}}) : phone.startDownload(0), std::nullopt);
        answerReads(phone, onPhone, line, true);

        // Four pieces, then the three holding the failed entry, read again by the same
        // requests (in more rounds when every read damages it).
        QCOMPARE(phone.port.written.size(), damage == "always" ? 13 : 7);
        QCOMPARE(phone.port.written.mid(4, 3), phone.port.written.mid(1, 3));
        // Pieces read again add nothing to the count.
        QVERIFY(*std::max_element(phone.view.progress.begin(), phone.view.progress.end()) <= onPhone.size());
        const QString checking = QStringLiteral("проверка…");
        const QString again = QStringLiteral("повторное чтение: %1 из 3 частей");
        QCOMPARE(phone.view.stages.mid(0, 5), (QStringList{checking, again.arg(1), again.arg(2), again.arg(3), checking}));
        const bool damaged = damage != "line";
        QCOMPARE(phone.view.checks.last().second, damaged ? ArchiveCheck::Verdict::Damaged : ArchiveCheck::Verdict::Sound);
        const QString warning = QStringLiteral("Файл «game.jar» повреждён на телефоне: b.bin не совпадает с контрольной "
                                               "суммой. Сохранить как есть?");
        QCOMPARE(phone.prompts.questions, damaged && !run ? QStringList{warning} : QStringList());
        QCOMPARE(phone.prompts.questionIcons, damaged && !run ? QList{Prompts::Icon::Warning} : QList<Prompts::Icon>());
        if (damage != "always")
            QCOMPARE(readFile(folder.filePath("game.jar")), !keep && damaged && !run ? "<missing>" : onPhone);
        if (run) {
            QCOMPARE(phone.prompts.messageTexts().last(),
                     QStringLiteral("Скопировано файлов: 1 из 1") + (damaged ? "\ngame.jar: сохранён, но повреждён (b.bin)" : ""));
        }
        QVERIFY(!phone.view.downloadRunning);
    }

    void garbledRepliesAreReadAgain_data()
    {
        QTest::addColumn<QString>("garble"); // what the line does to a reply: its count or its data
        QTest::addColumn<int>("times");      // to how many reads of the piece in a row
        QTest::addColumn<bool>("jar");       // garbled when the piece is read again for the check
        QTest::addColumn<bool>("run");
        QTest::newRow("count 10 higher") << "count" << 1 << false << false;
        QTest::newRow("last byte lost") << "data" << 1 << false << false;
        QTest::newRow("garbled three times") << "count" << 3 << false << false;
        QTest::newRow("garbled four times") << "data" << 4 << false << false;
        QTest::newRow("garbled four times, in a run") << "count" << 4 << false << true;
        QTest::newRow("read again for the check") << "count" << 1 << true << false;
        QTest::newRow("read again for the check, lost byte") << "data" << 1 << true << false;
    }

    void garbledRepliesAreReadAgain()
    {
        QFETCH(QString, garble);
        QFETCH(int, times);
        QFETCH(bool, jar);
        QFETCH(bool, run);
        const QByteArray file = jar ? BuildJar({{"a.bin", randomBytes(200000, 4), false}}).bytes : randomBytes(150000, 5);
        // A JAR's third piece has a digit changed once, so the check reads it again.
        const qint64 garbledAt = jar ? 2 * PieceLength : PieceLength;
        int reads = 0;
        const auto line = [&](qint64 offset, QByteArray &reply) {
            if (offset != garbledAt || reads++ > times - !jar)
                return;
            const qsizetype colon = reply.indexOf(':');
            if (jar && reads == 1)
                reply[colon - 1] = reply[colon - 1] == '0' ? '1' : '0';
            else if (garble == "count")
                reply.replace(":0,65535\r\n", ":0,65545\r\n");
            else
                reply.remove(colon - 2, 2);
        };
        QTemporaryDir folder;
        FakePhone phone(ListingReply({"game.jar"}));
        phone.prompts.savePaths.enqueue(folder.filePath("game.jar"));
        QCOMPARE(run ? phone.link.copyAll(folder.path(), {{"game.jar", "game.jar"}}) : phone.startDownload(0), std::nullopt);
        answerReads(phone, file, line);

        const bool saved = times <= MaxLineRetries;
        const QStringList asked = phone.port.written;
        QCOMPARE(asked.count(asked.at(garbledAt / PieceLength)), 1 + qMin(times, MaxLineRetries) + jar);
        QCOMPARE(asked.size(), saved ? (jar ? 8 : 3) + times : 2 + MaxLineRetries);
        QCOMPARE(readFile(folder.filePath("game.jar")), saved ? file : "<missing>");
        const QString why = QStringLiteral("Ответ телефона искажён на линии");
        if (!saved) {
            QCOMPARE(phone.prompts.messageTexts(),
                     QStringList{run ? QStringLiteral("Скопировано файлов: 0 из 1\ngame.jar: ") + why
                                     : why + QStringLiteral(": файл не сохранён")});
        }
        QVERIFY(phone.prompts.questions.isEmpty());
        QVERIFY(!phone.view.downloadRunning);
    }

    void piecesAreCountedAsRussianCountsThem()
    {
        const QString one = QStringLiteral("части");
        const QString many = QStringLiteral("частей");
        const QList<std::pair<int, QString>> rows{{1, one},    {2, many},    {5, many},  {11, many},
                                                  {21, one},   {101, one},   {111, many}, {1011, many}};
        for (const auto &[count, word] : rows)
            QCOMPARE(PiecesWord(count), word);
    }

    void failedReadsSaveNothingAndLeaveNothingBehind_data()
    {
        QTest::addColumn<QByteArray>("answer"); // to the second read, after its echo; empty: none
        QTest::addColumn<QString>("port");      // open, lost with the answer, lost on writing, closed
        QTest::addColumn<QString>("message");
        QTest::newRow("undecodable data") << QByteArray("\r\n*ERIF41X1:0,2\r\n\r\nOK\r\n") << "open"
                                          << QStringLiteral("Ошибка в данных: файл не сохранён");
        QTest::newRow("phone error") << QByteArray("\r\nERROR\r\n") << "open" << CommandError;
        const QString lost = QStringLiteral("5 /dev/fake: связь с телефоном потеряна (Input/output error)\n"
                                            "Копирование прервано, файл не сохранён.");
        const QByteArray piece = ReadReply({}, QByteArray(PieceLength, 'y'), PieceLength);
        QTest::newRow("device lost") << QByteArray() << "lost" << lost;
        QTest::newRow("device lost under the next request") << piece << "lost on writing" << lost;
        QTest::newRow("device lost with the last bytes of a piece") << piece << "lost" << lost;
        QTest::newRow("next request not written") << piece << "closed" << QStringLiteral("13 Port is not open");
    }

    void failedReadsSaveNothingAndLeaveNothingBehind()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, port);
        QFETCH(QString, message);
        FakePhone phone(Listing);
        QCOMPARE(phone.startDownload(1), std::nullopt);
        phone.answer(ReadReply({}, QByteArray(PieceLength, 'x'), PieceLength));
        phone.port.loseOnWrite = port == "lost on writing";
        phone.port.open = port != "closed";
        if (port == "lost")
            phone.loseDevice(answer.isEmpty() ? QByteArray() : phone.lastRequest() + answer);
        else
            phone.answer(answer);
        if (port == "lost on writing")
            phone.loseDevice();
        else if (port == "closed")
            phone.port.open = true;
        QCOMPARE(phone.prompts.messageTexts(), QStringList{message});
        QVERIFY(phone.prompts.proposedNames.isEmpty());
        QVERIFY(!phone.view.downloadRunning);
        QCOMPARE(phone.port.written.size(), 2);
        QCOMPARE(phone.state().download.state, Download::State::Idle);
        QVERIFY(phone.state().download.fileData.isEmpty());
        if (!phone.port.open) {
            QCOMPARE(phone.view.lamp, false);
            return;
        }

        // The next copy holds its own bytes only.
        QCOMPARE(phone.startDownload(0), std::nullopt);
        phone.answer(ReadReply({}, "fresh", 5));
        QCOMPARE(phone.prompts.offeredBytes, QByteArrayList{"fresh"});
        QCOMPARE(phone.prompts.proposedNames, QStringList{"game.jar"});
    }

    void cancelDropsWhatTheCancelledReadStillSends_data()
    {
        QTest::addColumn<QByteArray>("answer");  // to the cancelled request, after its echo
        QTest::addColumn<int>("heardBefore");    // bytes of it heard before the cancel; < 0 from its end
        QTest::addColumn<bool>("thenDownload");  // else refresh
        QTest::addColumn<QByteArray>("unasked"); // a line the phone sends first, heard before the cancel
        QTest::addColumn<bool>("echo");
        const QByteArray data = "\r\n*ERIF" + QByteArray("last piece").toHex() + ":0,10\r\n\r\nOK\r\n";
        for (const bool echo : {true, false}) {
            for (const QByteArray &unasked : {QByteArray(), QByteArray("\r\nRING\r\n")}) {
                auto row = [&](const char *name, const QByteArray &answer, int heard, bool thenDownload) {
                    // Without its echo a reply is no file's, and a dropped request leaves no trace.
                    if (echo || (!thenDownload && !answer.isEmpty())) {
                        QTest::addRow("%s%s%s", name, echo ? "" : ", echo off", unasked.isEmpty() ? "" : ", RING first")
                            << answer << heard << thenDownload << unasked << echo;
                    }
                };
                row("silent, then all of it", data, 0, false);
                row("cut in the echo", data, 9, true);
                row("cut in the data", data, 50, false);
                row("cut in OK", data, -3, true);
                row("cut in OK, then a listing", data, -3, false);
                row("refused", "\r\nERROR\r\n", 0, false);
                row("cut in ERROR", "\r\nERROR\r\n", -4, false);
                row("the phone dropped the request", QByteArray(), 0, true);
            }
        }
    }

    void cancelDropsWhatTheCancelledReadStillSends()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, heardBefore);
        QFETCH(bool, thenDownload);
        QFETCH(QByteArray, unasked);
        QFETCH(bool, echo);
        for (qsizetype cut = 0; cut < 80; ++cut) {
            FakePhone phone(Listing);
            QCOMPARE(phone.startDownload(0), std::nullopt);
            const QByteArray echoed = echo ? phone.lastRequest() : QByteArray();
            const QByteArray reply = answer.isEmpty() ? QByteArray() : echoed + answer;
            const qsizetype heard = heardBefore < 0 ? reply.size() + heardBefore : qMin<qsizetype>(heardBefore, reply.size());
            phone.receive(unasked + reply.first(heard));
            phone.link.cancelDownload();
            QVERIFY(!phone.view.downloadRunning);
            QCOMPARE(phone.state().download.state, Download::State::Idle);

            // Asked again at once, while the rest may still come.
            QCOMPARE(thenDownload ? phone.startDownload(1) : phone.link.refresh(), std::nullopt);
            const QByteArray next = thenDownload ? ReadReply(phone.lastRequest(), "fresh", 5)
                                                 : echo ? Listing : ListingReply({"..", "game.jar", "Игра.jar"}, {});
            phone.receiveInPieces(reply.mid(heard) + next, {cut});

            // The fresh copy is offered, and its Save dialog cancelled; the cancelled one never is.
            QCOMPARE(phone.prompts.messageTexts(),
                     thenDownload ? QStringList{QStringLiteral("You Canceled Saving")} : QStringList());
            QCOMPARE(phone.prompts.offeredBytes, thenDownload ? QByteArrayList{"fresh"} : QByteArrayList());
            QCOMPARE(phone.view.readableNames, Listed);
            QCOMPARE(phone.port.written.size(), 2);
            QVERIFY(!phone.view.downloadRunning);
        }
    }

    void endlessReplyIsDroppedAndTheLinkGoesOn()
    {
        const QString tooLong = QStringLiteral("Ответ телефона не кончается: больше 1 МБ без OK. Ответ отброшен.");
        for (const bool copying : {true, false}) {
            FakePhone phone(Listing);
            if (copying)
                QCOMPARE(phone.startDownload(0), std::nullopt);
            phone.receive(copying ? phone.lastRequest() + "\r\n*ERIF" : ListingLine + "\r\n");
            for (int i = 0; i < 32; ++i)
                phone.receive(QByteArray(64 * 1024, 'A'));
            QCOMPARE(phone.prompts.messageTexts(),
                     QStringList{copying ? tooLong + QStringLiteral("\nКопирование прервано, файл не сохранён.") : tooLong});
            QVERIFY(phone.state().echoBuffer.isEmpty() && phone.state().replyBuffer.isEmpty());
            QVERIFY(!phone.view.downloadRunning);
            QCOMPARE(phone.state().download.state, Download::State::Idle);

            // It ends after all, and what follows is handled as usual.
            phone.receive(":0,10\r\n\r\nOK\r\n");
            QCOMPARE(phone.link.refresh(), std::nullopt);
            phone.receive(ListingReply({"a.jar"}, {}));
            QCOMPARE(phone.view.readableNames, QStringList{"a.jar"});
            QCOMPARE(phone.prompts.messages.size(), 1);
        }
        // What is dropped is not kept.
        ReplyDrain drain;
        drain.add({});
        for (int i = 0; i < 64; ++i)
            QCOMPARE(drain.take(QByteArray(64 * 1024, 'A')), std::nullopt);
        QVERIFY(drain.heldSize() < 8);
        // Nor is what comes before an echo cut short.
        ReplyDrain echoCut;
        echoCut.add("AT*ERIF=0,10\r");
        QCOMPARE(echoCut.take(QByteArray(64 * 1024, 'A') + "\r\nAT*ER"), std::nullopt);
        QVERIFY(echoCut.heldSize() < 8);
        QCOMPARE(echoCut.take("IF=0,10\r\r\nOK\r\nrest"), QByteArray("\r\nrest"));

        // "AT" right behind a dropped reply's "OK" starts no line, so it is no echo.
        ReplyDrain twoOwed;
        twoOwed.add({});
        twoOwed.add({});
        QCOMPARE(twoOwed.take("OKAT+X\r\n\r\nOK\r\nrest"), QByteArray("\r\nrest"));
    }

    void cancellingAgainBeforeThePhoneCaughtUp()
    {
        for (qsizetype cut = 0; cut < 120; ++cut) {
            FakePhone phone(Listing);
            QCOMPARE(phone.startDownload(0), std::nullopt);
            const QByteArray first = ReadReply(phone.lastRequest(), "first", 5);
            phone.receive(first.first(50));
            phone.link.cancelDownload();
            QCOMPARE(phone.startDownload(0), std::nullopt);
            phone.link.cancelDownload();
            QCOMPARE(phone.link.refresh(), std::nullopt);
            phone.view.clearEntries();

            const QByteArray second = ReadReply(phone.port.written.at(1).toLatin1(), "second", 6);
            phone.receiveInPieces(first.sliced(50) + second + Listing, {cut});
            QCOMPARE(phone.prompts.messageTexts(), QStringList());
            QVERIFY(phone.prompts.offeredBytes.isEmpty());
            QCOMPARE(phone.view.readableNames, Listed);
        }
    }

    void runOfCopiesSkipsWhatFailsAndEndsWithTheDevice()
    {
        FakePhone phone(ListingReply({"a.jar", "b.jar", "c.jar"}));
        const QList<CopyAll::Entry> entries{{"a.jar", "a.jar"}, {"b.jar", "b.jar"}, {"c.jar", "c.jar"}};

        // Undecodable data and a folder that cannot be written to: each file is
        // skipped with its reason, and the run goes on.
        QTemporaryDir folder;
        QCOMPARE(phone.link.copyAll(folder.filePath("missing"), entries), std::nullopt);
        QCOMPARE(phone.view.fileTitles, QStringList{QStringLiteral("1 из 3: a.jar")});
        phone.answer("\r\n*ERIF4X:0,1\r\n\r\nOK\r\n");
        phone.answer("\r\n*ERIF41:0,1\r\n\r\nOK\r\n");
        phone.answer("\r\nERROR\r\n");
        // The system's own words for the unwritable folder follow the name.
        const QString unwritable = phone.prompts.messageTexts().value(0).section(QLatin1Char('\n'), 2, 2);
        QVERIFY2(unwritable.startsWith(QStringLiteral("b.jar: ")) && unwritable.size() > 7, qPrintable(unwritable));
        QCOMPARE(phone.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 0 из 3\na.jar: Ошибка в данных\n") + unwritable
                             + QStringLiteral("\nc.jar: Ошибочная комманда")});
        QCOMPARE(phone.port.written.size(), 3);
        QVERIFY(!phone.view.downloadRunning);

        // A request that cannot be written skips its file, and the next, to the end.
        phone.prompts.messages.clear();
        QCOMPARE(phone.link.copyAll(folder.path(), entries), std::nullopt);
        phone.port.open = false;
        phone.answer("\r\n*ERIF41:0,1\r\n\r\nOK\r\n");
        QCOMPARE(phone.prompts.messageTexts(),
                 QStringList{QStringLiteral("Скопировано файлов: 1 из 3\nb.jar: 13 Port is not open\n"
                                            "c.jar: 13 Port is not open")});
        QVERIFY(!phone.view.downloadRunning);
        phone.port.open = true;
        QVERIFY(QFile::remove(folder.filePath("a.jar")));

        // A lost device ends the run as it ends a single copy, saying how far it got;
        // the last bytes it sent still count.
        phone.prompts.messages.clear();
        QCOMPARE(phone.link.copyAll(folder.path(), entries), std::nullopt);
        phone.answer("\r\n*ERIF41:0,1\r\n\r\nOK\r\n");
        phone.loseDevice(phone.lastRequest() + "\r\n*ERIF42:0,1\r\n\r\nOK\r\n");
        QCOMPARE(phone.prompts.messageTexts(),
                 QStringList{phone.port.lostFailure.message()
                             + QStringLiteral("\nКопирование прервано, файл не сохранён.\nСкопировано файлов: 2 из 3")});
        QVERIFY(!phone.view.downloadRunning);
        QCOMPARE(phone.view.fileTitles.last(), QString());
        QCOMPARE(readFile(folder.filePath("a.jar")), QByteArray("A"));
        QCOMPARE(readFile(folder.filePath("b.jar")), QByteArray("B"));
        QCOMPARE(phone.link.copyAll(folder.path(), entries)->code, 13);
    }

#ifndef Q_OS_WIN
    void savesNeverWriteThroughALink()
    {
        QTemporaryDir folder;
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.filePath("outside.jar"), folder.filePath("a.jar")));
        FakePhone phone(ListingReply({"a.jar"}));
        QCOMPARE(phone.link.copyAll(folder.path(), {{"a.jar", "a.jar"}}), std::nullopt);
        phone.answer("\r\n*ERIF41:0,1\r\n\r\nOK\r\n");
        QCOMPARE(readFile(folder.filePath("a (2).jar")), QByteArray("A"));
        QCOMPARE(WriteWholeFile(folder.filePath("a.jar"), "B"), QStringLiteral("Is a symbolic link"));
        QVERIFY(QDir(elsewhere.path()).isEmpty());
    }
#endif

    void connectingAndTheLamp()
    {
        // The lamp follows the open port.
        FakePhone phone;
        phone.port.event = SerialControl::LineErrorEvent;
        phone.link.MSC_OnComm();
        QCOMPARE(phone.view.lamp, true);
        phone.view.lamp.reset();
        phone.port.open = false;
        phone.receive("x");
        QCOMPARE(phone.view.lamp, std::nullopt);

        // A failed connect leaves the port closed.
        phone.port.handshakingFailure = Failure{FailureCode::SettingRefused,
                                                QStringLiteral("/dev/fake: XON/XOFF flow control refused")};
        QCOMPARE(phone.link.connectPort(QStringLiteral("5"), QStringLiteral("115200"))->code, FailureCode::SettingRefused);
        QVERIFY(!phone.port.open);

        phone.port.handshakingFailure.reset();
        QCOMPARE(phone.link.connectPort(QStringLiteral("5"), QStringLiteral("115200")), std::nullopt);
        QCOMPARE(phone.port.written.size(), 1);
        // Connect on an open port fails as busy and leaves it open.
        QCOMPARE(phone.link.connectPort(QStringLiteral("5"), QStringLiteral("115200"))->code, 3);
        QVERIFY(phone.port.open);

        // A reconnected phone owes nothing.
        phone.receive(Listing);
        QCOMPARE(phone.startDownload(0), std::nullopt);
        phone.answer("\r\n*ERIF4142");
        phone.link.cancelDownload();
        phone.link.disconnectPort();
        QCOMPARE(phone.link.connectPort(QStringLiteral("5"), QStringLiteral("115200")), std::nullopt);
        // With echo off nothing would have ended the old reply's drain.
        phone.receive(ListingReply({"a.jar"}, {}));
        QCOMPARE(phone.view.readableNames, QStringList{"a.jar"});

        // A device that vanishes under a command is told of once, by its own event.
        for (const bool refresh : {true, false}) {
            phone.prompts.messages.clear();
            phone.port.open = phone.port.loseOnWrite = true;
            QCOMPARE(refresh ? phone.link.refresh() : phone.link.selectCharacterSet(CharacterSet::Utf8), std::nullopt);
            phone.loseDevice();
            QCOMPARE(phone.prompts.messageTexts(), QStringList{phone.port.lostFailure.message()});
        }
    }
};

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
