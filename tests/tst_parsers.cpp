// The listing and file-read reply parsers on replies as a phone sends them.
#include "phonefs/download.h"
#include "phonefs/listing.h"
#include "phonefs/safefilename.h"
#include "phonefs/savedownload.h"
#include "phonefs/textsearch.h"
#include "support/phonereplies.h"
#include "support/scriptedprompts.h"
#include "windows/cmnDialog.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A reply made of these lines after the echo.
QByteArray listingReply(const QList<QByteArray> &lines)
{
    QByteArray reply = ListingLine;
    for (const QByteArray &line : lines)
        reply += "\r\n" + line;
    return reply + "\r\n\r\nOK\r\n";
}

} // namespace

class ParsersTest : public QObject
{
    Q_OBJECT

private slots:
    void listingRequest()
    {
        QCOMPARE(ListingCommand(ApplicationFolder).toLatin1() + '\r', ListingLine);
    }

    void listing_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QStringList>("names");
        // nullopt: the scan stopped on a failure, and the label keeps its text.
        QTest::addColumn<std::optional<QByteArray>>("status");
        const auto row = [](const char *name, const QByteArray &reply, const QStringList &names,
                            const std::optional<QByteArray> &status) {
            QTest::newRow(name) << reply << names << status;
        };
        const std::optional<QByteArray> failed;
        row("applications in order",
            listingReply({"*ELIF: \"2E\",0,1", "*ELIF: \"2E2E\",0,1", "*ELIF: \"67616D65\",0,1",
                          "*ELIF: \"67616D652E6A6172\",1234,0", "*ELIF: \"\",0,0",
                          "*ELIF: \"D098D0B3D180D0B02E6A6172\",99,0", "*ELIF: \"2e2e2e\""}),
            {"game.jar", "Игра.jar", "..."}, "");
        row("quote at position 9", listingReply({"*ELIF: \"612E62\"", "*ELIF:  \"632E64\"", "*ELIF: \"652E66\""}),
            {"a.b"}, "*ELIF:  \"632E64\"");
        row("line between two blocks", listingReply({"*ELIF: \"612E62\"", "+NOISE", "*ELIF: \"652E66\""}), {"a.b"},
            "+NOISE");
        row("no entries: line 1 of a file read", "AT*ERIF=\"2F\",0,65535\r\r\n*ERIF4142:0,2\r\n\r\nOK\r\n", {},
            "*ERIF4142:0,2");
        row("lone CR does not end a line", "echo\r\n*ELIF: \"612E62\"\r*ELIF: \"632E64\"\r\n\r\nOK", {"a.b"}, "");
        // A character-set answer looks like an entry line, but its name is no hex.
        row("not hex", "AT+CSCS?\r\r\n+CSCS: \"GSM\"\r\n\r\nOK\r\n", {}, failed);
        row("odd digits", listingReply({"*ELIF: \"612E62\"", "*ELIF: \"612E6\""}), {"a.b"}, failed);
        row("every line an entry line", ListingLine + "\r\n*ELIF: \"612E62\"", {"a.b"}, failed);
        row("no line 1", "OK", {}, failed);
    }

    void listing()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, names);
        QFETCH(std::optional<QByteArray>, status);
        const Listing listing = ParseListing(reply);
        QStringList readable;
        QByteArrayList raw;
        for (const ListedName &name : listing.names) {
            readable.append(name.readableName);
            raw.append(name.rawName);
        }
        QCOMPARE(readable, names);
        // The phone's own bytes, whatever text is made of them.
        QByteArrayList sent;
        for (const QString &name : names)
            sent.append(name.toUtf8());
        QCOMPARE(raw, sent);
        QCOMPARE(listing.statusLine, status);
    }

    void chunkRequests()
    {
        const QByteArray path = "/tpa/preset/system/oaf/game.jar";
        QCOMPARE(ChunkCommand(path, 0),
                 QStringLiteral("AT*ERIF=\"2F7470612F7072657365742F73797374656D2F6F61662F67616D652E6A6172\",0,65535"));
        QVERIFY(ChunkCommand(path, 1).endsWith("\",65535,65535"));
        QVERIFY(ChunkCommand(path, 2).endsWith("\",131070,65535"));
        // Offsets stay exact far beyond 32 bits.
        QVERIFY(ChunkCommand(path, 100000).endsWith("\",6553500000,65535"));
    }

    void chunkReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<std::optional<QByteArray>>("data"); // nullopt: the digits cannot be decoded
        QTest::addColumn<ChunkOutcome>("outcome");
        const auto row = [](const char *name, const QByteArray &reply, const std::optional<QByteArray> &data,
                            ChunkOutcome outcome) { QTest::newRow(name) << reply << data << outcome; };
        const QByteArray echo = "AT*ERIF=\"2F\",0,65535\r";
        const QByteArray full(PieceLength, 'A');
        const QByteArray fullReply = echo + "\r\n*ERIF" + full.toHex();
        row("short piece", echo + "\r\n*ERIF4142:0,2\r\n\r\nOK\r\n", "AB", ChunkOutcome::FileComplete);
        row("data on two lines", echo + "\r\n*ERIF4142\r\n*ERIF4344:0,4\r\n\r\nOK\r\n", "ABCD", ChunkOutcome::FileComplete);
        row("full piece", fullReply + ":0,65535\r\n\r\nOK\r\n", full, ChunkOutcome::NeedMore);
        row("count read from five characters", fullReply + ":0,655350\r\n\r\nOK\r\n", full, ChunkOutcome::NeedMore);
        row("count with more fields", echo + "\r\n*ERIF41:0,1,x\r\n\r\nOK\r\n", "A", ChunkOutcome::FileComplete);
        row("count is zero past the end", echo + "\r\n*ERIF:0,0\r\n\r\nOK\r\n", "", ChunkOutcome::FileComplete);
        row("no comma: the field list is the count", echo + "\r\n*ERIF41:1\r\n\r\nOK\r\n", "A", ChunkOutcome::FileComplete);
        row("garbage count asks for more", echo + "\r\n*ERIF41:0,zz\r\n\r\nOK\r\n", "A", ChunkOutcome::NeedMore);
        row("an empty field before the count asks for more", echo + "\r\n*ERIF41::0,2\r\n\r\nOK\r\n", "A", ChunkOutcome::NeedMore);
        row("only OK", "\r\nOK\r\n", "", ChunkOutcome::NeedMore);
        row("echo off", "\r\n*ERIF4142:0,2\r\n\r\nOK\r\n", "AB", ChunkOutcome::FileComplete);
        row("lower-case digits", echo + "\r\n*ERIFff0a:0,2\r\n\r\nOK\r\n", "\xff\n", ChunkOutcome::FileComplete);
        // A count the data contradict, or more than was asked for, was changed on the line.
        row("count above a piece", fullReply + ":0,65545\r\n\r\nOK\r\n", full, ChunkOutcome::Garbled);
        row("count above the data", echo + "\r\n*ERIF4142:0,3\r\n\r\nOK\r\n", "AB", ChunkOutcome::Garbled);
        row("count below the data", echo + "\r\n*ERIF4142:0,1\r\n\r\nOK\r\n", "AB", ChunkOutcome::Garbled);
        row("full count, a byte short", echo + "\r\n*ERIF" + full.chopped(1).toHex() + ":0,65535\r\n\r\nOK\r\n",
            full.chopped(1), ChunkOutcome::Garbled);
        row("not a digit", "AT*ERIF\r\n*ERIF41G2:0,2\r\n\r\nOK\r\n", std::nullopt, ChunkOutcome::BadData);
        row("odd digits", "AT*ERIF\r\n*ERIF414:0,2\r\n\r\nOK\r\n", std::nullopt, ChunkOutcome::BadData);
        // Without a colon the whole rest, result code included, is taken as data.
        row("no colon", "AT*ERIF\r\n*ERIF41\r\n\r\nOK\r\n", std::nullopt, ChunkOutcome::BadData);
    }

    // A download adds the piece and goes on or ends as the reply says; an undecodable
    // or garbled piece adds nothing.
    void chunkReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(std::optional<QByteArray>, data);
        QFETCH(ChunkOutcome, outcome);
        const ChunkReply parsed = ParseChunkReply(reply);
        QCOMPARE(parsed.data, data);
        if (outcome != ChunkOutcome::BadData && outcome != ChunkOutcome::Garbled)
            QCOMPARE(parsed.fileComplete, outcome == ChunkOutcome::FileComplete);

        Download download;
        download.fileData = "kept";
        download.lineRetries = 2;
        download.chunkReply = reply;
        QCOMPARE(ParseChunk(download), outcome);
        const bool taken = outcome == ChunkOutcome::NeedMore || outcome == ChunkOutcome::FileComplete;
        QCOMPARE(download.fileData, "kept" + (taken ? *data : QByteArray()));
        // A piece that came whole starts the count of garbled reads anew.
        QCOMPARE(download.lineRetries, taken ? 0 : 2);
        QVERIFY(download.chunkReply.isEmpty());
    }

    void progressDoesNotDependOnWhereTheReplyIsCut()
    {
        const QByteArray reply = "AT*ERIF=\"2F\",0,65535\r\r\n*ERIF4142\r\n*ERIF4344:0,4\r\n\r\nOK\r\n";
        for (qsizetype cut = 0; cut <= reply.size(); ++cut) {
            PieceProgress progress;
            QVERIFY(progress.bytesIn(QByteArrayView(reply).first(cut)) <= 4);
            QCOMPARE(progress.bytesIn(reply), 4);
        }
    }

    void protocolTextSearchAgreesWithAPlainSearch()
    {
        const QList<QByteArray> texts{QByteArray(), "", "O", "OK", "xOK", "OKx", "OOKK", "EERROR", "ERRORERROR", "\r\n\r\n",
                                      "AB\r\n*ERIF\r\n*ERI", "KKKKOKOK", "RROR ERRO", "xO"};
        for (const QByteArray &text : texts) {
            for (const QByteArray &needle : {QByteArray("OK"), QByteArray("ERROR"), QByteArray("\r\n"),
                                            QByteArray("\r\n*ERIF")}) {
                // A needle that would end one byte past the text is not the text's.
                const QByteArray followed = text + needle.last(1);
                const QByteArrayView view = QByteArrayView(followed).first(text.size());
                QCOMPARE(FindLastProtocolText(view, needle), text.lastIndexOf(needle));
                QCOMPARE(FindProtocolText(view, needle, text.size() + 3), -1);
                for (qsizetype from = 0; from <= text.size(); ++from)
                    QCOMPARE(FindProtocolText(view, needle, from), text.indexOf(needle, from));
            }
        }
    }

    void saveDialogPathsFitTheBuffer()
    {
        ScriptedPrompts prompts;
        QString savePath;
        prompts.savePaths.enqueue(QString(254, u'p'));
        prompts.savePaths.enqueue(QString(255, u'p'));
        QCOMPARE(cmnDialog::ShowSaveDialog(prompts, QStringLiteral("a.jar"), savePath), 1);
        QCOMPARE(savePath, QString(254, u'p'));
        // Too long for the dialog's buffer with its terminator: taken as a cancel.
        QCOMPARE(cmnDialog::ShowSaveDialog(prompts, QStringLiteral("a.jar"), savePath), 0);
        QCOMPARE(savePath, QStringLiteral("a.jar"));
        QCOMPARE(prompts.dialogFilters, QStringList(2, QStringLiteral("All files (*.*)")));
    }

    void savedNamesAreSafeOnBothFileSystems_data()
    {
        QTest::addColumn<QString>("phoneName");
        QTest::addColumn<QString>("posix");
        QTest::addColumn<QString>("windows");
        auto row = [](const char *name, const QString &phoneName, const QString &posix, const QString &windows) {
            QTest::newRow(name) << phoneName << posix << windows;
        };
        row("plain", u"Игра.jar"_s, u"Игра.jar"_s, u"Игра.jar"_s);
        row("out of the folder", u"../../.bashrc"_s, u".._.._.bashrc"_s, u".._.._.bashrc"_s);
        row("drive", u"C:\\evil.jar"_s, u"C:_evil.jar"_s, u"C__evil.jar"_s);
        row("controls", u"a\tb\nc\u0085.jar"_s, u"a_b_c_.jar"_s, u"a_b_c_.jar"_s);
        row("turned around", u"gnp.\u202Ejar"_s, u"gnp._jar"_s, u"gnp._jar"_s);
        row("format beyond 16 bits", u"a\U000E0001.jar"_s, u"a_.jar"_s, u"a_.jar"_s);
        row("line separator", u"a\u2028b.jar"_s, u"a_b.jar"_s, u"a_b.jar"_s);
        row("stream", u"a:b.jar"_s, u"a:b.jar"_s, u"a_b.jar"_s);
        row("reserved", u"<>\"|?*.jar"_s, u"<>\"|?*.jar"_s, u"______.jar"_s);
        row("trailing dots and blanks", u"game.jar. . "_s, u"game.jar. . "_s, u"game.jar"_s);
        row("device", u"con"_s, u"con"_s, u"_con"_s);
        row("device with a suffix", u"LPT9.jar"_s, u"LPT9.jar"_s, u"_LPT9.jar"_s);
        row("device before a blank", u"Com1 .tar.gz"_s, u"Com1 .tar.gz"_s, u"_Com1 .tar.gz"_s);
        row("superscript device", u"COM\u00B9.jar"_s, u"COM\u00B9.jar"_s, u"_COM\u00B9.jar"_s);
        row("superscript device before a blank", u"lpt\u00B2 .jar"_s, u"lpt\u00B2 .jar"_s, u"_lpt\u00B2 .jar"_s);
        row("superscript device alone", u"Com\u00B3"_s, u"Com\u00B3"_s, u"_Com\u00B3"_s);
        row("no device", u"COM10.jar"_s, u"COM10.jar"_s, u"COM10.jar"_s);
        row("no superscript device", u"LPT\u2074.jar"_s, u"LPT\u2074.jar"_s, u"LPT\u2074.jar"_s);
        row("no device either", u"CONSOLE.jar"_s, u"CONSOLE.jar"_s, u"CONSOLE.jar"_s);
        row("empty", QString(), u"_"_s, u"_"_s);
        row("dot", u"."_s, u"_"_s, u"_"_s);
        row("two dots", u".."_s, u"__"_s, u"_"_s);
        row("only dots and blanks", u". ."_s, u". ."_s, u"_"_s);
    }

    void savedNamesAreSafeOnBothFileSystems()
    {
        QFETCH(QString, phoneName);
        QFETCH(QString, posix);
        QFETCH(QString, windows);
        QCOMPARE(SafeFileName(phoneName, FileNameRules::Posix), posix);
        QCOMPARE(SafeFileName(phoneName, FileNameRules::Windows), windows);
        // Written where it is meant to go, and found there under that very name.
        QTemporaryDir folder;
        const QString saved = SafeFileName(phoneName);
        QCOMPARE(WriteWholeFile(folder.filePath(saved), "x"), std::nullopt);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{saved});
    }
};

QTEST_GUILESS_MAIN(ParsersTest)
#include "tst_parsers.moc"
