// The receive dispatcher's decisions, fed piece by piece without a port or windows.
#include "app/Module1.h"
#include "app/receivedispatcher.h"
#include "phonefs/download.h"
#include "support/fakelink.h"
#include "support/scriptedprompts.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray ListingEcho("AT*ELIF=\"2F7470612F7072657365742F73797374656D2F6F61662F\"\r");
const QByteArray Listing = ListingEcho
                           + "\r\n*ELIF: \"2E2E\",0,1\r\n*ELIF: \"67616D652E6A6172\",3,0"
                             "\r\n*ELIF: \"D098D0B3D180D0B02E6A6172\",3,0\r\n\r\nOK\r\n";
const QString CommandError = QStringLiteral("Ошибочная комманда");

// A phone's answer to a read request of the given line.
QByteArray readReply(const QString &request, const QByteArray &data, qint64 count)
{
    return request.toLatin1() + "\r\n*ERIF" + data.toHex().toUpper() + ":0," + QByteArray::number(count)
           + "\r\n\r\nOK\r\n";
}

struct Link
{
    Module1 state;
    FakeSerial port;
    FakeView view;
    ScriptedPrompts prompts;
    ReceiveDispatcher dispatcher{state, port, view, prompts};

    void receive(const QByteArray &piece)
    {
        port.event = SerialControl::ReceiveEvent;
        port.piece = piece;
        dispatcher.MSC_OnComm();
    }
    void receiveInPieces(const QByteArray &stream, const QList<qsizetype> &cuts)
    {
        qsizetype from = 0;
        for (const qsizetype cut : cuts) {
            receive(stream.mid(from, cut - from));
            from = cut;
        }
        receive(stream.mid(from));
    }
    void startDownload(int index)
    {
        view.selected = index;
        QCOMPARE(StartDownload(state, port, view.rawNames.at(index)), std::nullopt);
        view.downloadRunning = true;
    }
    // Answers every outstanding read request from the file's bytes.
    void answerReads(const QByteArray &file, const std::function<void(const QByteArray &)> &deliver)
    {
        qsizetype answered = 0;
        while (answered < port.written.size() && view.downloadRunning) {
            const QString request = port.written.at(answered++);
            const qint64 offset = request.section(QLatin1Char(','), 1, 1).toLongLong();
            const QByteArray piece = file.mid(offset, PieceLength);
            deliver(readReply(request, piece, piece.size()));
        }
    }
};

} // namespace

class DispatcherTest : public QObject
{
    Q_OBJECT

private slots:
    void replyInPiecesIsRoutedOnce()
    {
        Link link;
        // "OK" split between two pieces, the closing CR LF in a third.
        const qsizetype okAt = Listing.lastIndexOf("OK");
        link.receiveInPieces(Listing, {10, okAt + 1, okAt + 2});
        QCOMPARE(link.view.readableNames, QStringList({"game.jar", "Игра.jar"}));
        QCOMPARE(link.view.statusTexts, QList<QByteArray>{QByteArray()});
        QCOMPARE(link.view.traffic, Listing);
        QCOMPARE(link.view.pieceLengths, QList<qsizetype>({10, okAt + 1 - 10, 1, 2}));
        QVERIFY(link.state.replyBuffer.isEmpty() && link.state.echoBuffer.isEmpty());
        QVERIFY(link.prompts.messages.isEmpty());

        // The next reply starts clean: its echo is line 0 again.
        link.receive(Listing);
        QCOMPARE(link.view.readableNames.size(), 4);
    }

    void lowerCaseKeywordsEndNothing()
    {
        Link link;
        link.receive(ListingEcho + "\r\nok\r\nerror\r\n");
        QVERIFY(link.view.statusTexts.isEmpty());
        QVERIFY(link.prompts.messages.isEmpty());
        QVERIFY(!link.state.replyBuffer.isEmpty());
    }

    void rejectedCommandEndsItsExchange()
    {
        Link link;
        link.view.downloadRunning = true;
        link.receive("AT*ELIF=\"2F\"\r\r\nER");
        link.receive("ROR\r\n");
        QCOMPARE(link.prompts.messageTexts(), QStringList{CommandError});
        QCOMPARE(link.prompts.messages.first().icon, Prompts::Icon::None);
        QVERIFY(!link.view.downloadRunning);
        QVERIFY(link.state.replyBuffer.isEmpty() && link.state.echoBuffer.isEmpty());

        // The failed text does not stand in front of the next listing.
        link.receive(Listing);
        QCOMPARE(link.view.readableNames, QStringList({"game.jar", "Игра.jar"}));
        QCOMPARE(link.prompts.messages.size(), 1);
    }

    void errorAndOkInOnePieceShowThenRoute()
    {
        Link link;
        link.receive(ListingEcho + "\r\n*ELIF: \"612E62\"\r\n\r\nERROR\r\nOK\r\n");
        QCOMPARE(link.prompts.messageTexts(), QStringList{CommandError});
        QCOMPARE(link.view.readableNames, QStringList{"a.b"});
        QVERIFY(link.state.echoBuffer.isEmpty());
    }

    void downloadRunsPieceByPieceAndSaves()
    {
        QTemporaryDir folder;
        Link link;
        link.receive(Listing);
        QByteArray file(2 * PieceLength + 1234, Qt::Uninitialized);
        for (char &byte : file)
            byte = char(QRandomGenerator::global()->bounded(256));

        link.prompts.savePaths.enqueue(folder.filePath("game.jar"));
        link.startDownload(1);
        link.answerReads(file, [&](const QByteArray &reply) { link.receive(reply); });

        QCOMPARE(link.port.written.size(), 3);
        for (int k = 0; k < 3; ++k)
            QVERIFY(link.port.written.at(k).endsWith(QStringLiteral(",%1,65535\r").arg(k * PieceLength)));
        QCOMPARE(link.state.chunkIndex, 3);
        QCOMPARE(link.view.progress, QList<qint64>({PieceLength, 2 * PieceLength}));
        QCOMPARE(link.prompts.proposedNames, QStringList{"Игра.jar"});
        QFile saved(folder.filePath("game.jar"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), file);
        QCOMPARE(link.prompts.beeps, 1);
        QCOMPARE(link.prompts.messageTexts().last(),
                 QStringLiteral("Data Saved to: \"%1\"").arg(folder.filePath("game.jar")));
        QVERIFY(!link.view.downloadRunning);
        QVERIFY(link.state.fileData.isEmpty());
    }

    void closingFramingLateStillStartsTheNextReplyClean()
    {
        QTemporaryDir folder;
        Link link;
        link.receive(Listing.chopped(2));
        link.receive("\r");
        link.receive("\n");
        QCOMPARE(link.view.readableNames.size(), 2);

        link.prompts.savePaths.enqueue(folder.filePath("a"));
        link.startDownload(0);
        const QByteArray reply = readReply(link.port.written.first(), "hi", 2);
        // Cut right after "OK": the CR LF comes with the next piece.
        link.receive(reply.chopped(2));
        QCOMPARE(link.prompts.messageTexts().last().left(15), QStringLiteral("Data Saved to: "));
        link.receive("\r\n" + Listing);
        QCOMPARE(link.view.readableNames.size(), 4);
        QCOMPARE(link.view.statusTexts.last(), QByteArray());
    }

    void undecodableDataSavesNothing()
    {
        Link link;
        link.receive(Listing);
        link.startDownload(1);
        link.receive(link.port.written.first().toLatin1() + "\r\n*ERIF41X1:0,2\r\n\r\nOK\r\n");
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("Ошибка в данных: файл не сохранён")});
        QVERIFY(link.prompts.proposedNames.isEmpty());
        QVERIFY(!link.view.downloadRunning);
        QVERIFY(link.state.fileData.isEmpty());
        QCOMPARE(link.port.written.size(), 1);
    }

    void errorMidDownloadLeavesNothingForTheNext()
    {
        QTemporaryDir folder;
        Link link;
        link.receive(Listing);
        link.startDownload(1);
        link.receive(readReply(link.port.written.first(), QByteArray(PieceLength, 'x'), PieceLength));
        link.receive(link.port.written.last().toLatin1() + "\r\nERROR\r\n");
        QVERIFY(!link.view.downloadRunning);

        link.prompts.savePaths.enqueue(folder.filePath("b"));
        link.startDownload(0);
        link.receive(readReply(link.port.written.last(), "fresh", 5));
        QFile saved(folder.filePath("b"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("fresh"));
    }

    void lostDeviceAbandonsTheDownload()
    {
        Link link;
        link.receive(Listing);
        link.startDownload(1);
        link.receive(readReply(link.port.written.first(), QByteArray(PieceLength, 'x'), PieceLength));
        link.port.open = false;
        link.port.event = SerialControl::DeviceLostEvent;
        link.dispatcher.MSC_OnComm();
        QCOMPARE(link.prompts.messageTexts(), QStringList{QStringLiteral("9 /dev/fake: Input/output error")});
        QCOMPARE(link.view.lamp, false);
        QVERIFY(!link.view.downloadRunning);
        QVERIFY(link.state.fileData.isEmpty());
        QVERIFY(link.prompts.proposedNames.isEmpty());
    }

    void lampFollowsTheOpenPort()
    {
        Link link;
        link.port.event = SerialControl::LineErrorEvent;
        link.dispatcher.MSC_OnComm();
        QCOMPARE(link.view.lamp, true);
        link.view.lamp.reset();
        link.port.open = false;
        link.receive("x");
        QCOMPARE(link.view.lamp, std::nullopt);
    }

    void randomCuttingsGiveTheSameResult()
    {
        QTemporaryDir folder;
        const QByteArray file = QByteArray("\x00\x10\x7f\x98\xff", 5).repeated(13200);
        QRandomGenerator random(2026);
        for (int round = 0; round < 300; ++round) {
            Link link;
            // Many pieces, from single bytes up to a few hundred.
            const int longest = round % 30 == 0 ? 1 : 1 + int(random.bounded(400));
            auto cuttings = [&](qsizetype size) {
                QList<qsizetype> cuts;
                for (qsizetype at = 1 + random.bounded(longest); at < size; at += 1 + random.bounded(longest))
                    cuts.append(at);
                return cuts;
            };
            link.receiveInPieces(Listing, cuttings(Listing.size()));
            QCOMPARE(link.view.readableNames, QStringList({"game.jar", "Игра.jar"}));

            link.prompts.savePaths.enqueue(folder.filePath("random"));
            link.startDownload(1);
            link.answerReads(file, [&](const QByteArray &reply) {
                link.receiveInPieces(reply, cuttings(reply.size()));
            });
            QFile saved(folder.filePath("random"));
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), file);
            QCOMPARE(link.port.written.size(), 2);
            QVERIFY(link.prompts.messageTexts().filter(CommandError).isEmpty());
        }
    }

    void largeAndOddRepliesAreHandled()
    {
        Link link;
        // Hundreds of entries.
        QByteArray many = ListingEcho;
        for (int i = 0; i < 500; ++i)
            many += "\r\n*ELIF: \"" + QByteArray("app" + QByteArray::number(i) + ".jar").toHex() + "\",1,0";
        link.receive(many + "\r\n\r\nOK\r\n");
        QCOMPARE(link.view.readableNames.size(), 500);
        QCOMPARE(link.view.readableNames.last(), QStringLiteral("app499.jar"));

        // A line of several megabytes ends the scan like any other line.
        const QByteArray huge(6 << 20, 'Z');
        link.receive(ListingEcho + "\r\n" + huge + "\r\n\r\nOK\r\n");
        QCOMPARE(link.view.statusTexts.last(), huge);
        QCOMPARE(link.view.readableNames.size(), 500);
        QVERIFY(link.prompts.messages.isEmpty());
    }

    void everyTwoPieceCutGivesTheSameResult()
    {
        QTemporaryDir folder;
        const QByteArray file = QByteArray("\x00\x01\xfe\xff", 4).repeated(300);
        for (const bool downloading : {false, true}) {
            Link whole;
            whole.receive(Listing);
            const QByteArray stream = downloading ? readReply(ChunkRequestLine("/tpa/preset/system/oaf/game.jar", 0), file, file.size())
                                                  : Listing;
            for (qsizetype cut = 1; cut < stream.size(); ++cut) {
                Link link;
                link.receive(Listing);
                if (downloading) {
                    link.prompts.savePaths.enqueue(folder.filePath("cut"));
                    link.startDownload(0);
                }
                link.receiveInPieces(stream, {cut});
                if (downloading) {
                    QFile saved(folder.filePath("cut"));
                    QVERIFY(saved.open(QIODevice::ReadOnly));
                    QCOMPARE(saved.readAll(), file);
                } else {
                    QCOMPARE(link.view.readableNames, QStringList({"game.jar", "Игра.jar", "game.jar", "Игра.jar"}));
                }
                QVERIFY2(link.prompts.messageTexts().filter(CommandError).isEmpty(), qPrintable(QString::number(cut)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(DispatcherTest)
#include "tst_dispatcher.moc"
