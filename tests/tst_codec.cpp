// The hex codec, the name filter and the code-page conversions.
#include "charset/ansicodepage.h"
#include "charset/basInCodePage.h"
#include "phonefs/routes.h"

#include <QTest>

using namespace Qt::StringLiterals;

class CodecTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteSurvivesHexAndTheCodePage()
    {
        QByteArray allBytes;
        for (int value = 0; value < 256; ++value)
            allBytes.append(char(value));
        // Upper case, two digits for every byte, 0x00 to 0x0F too.
        QCOMPARE(EncodeHex(allBytes), allBytes.toHex().toUpper());
        QCOMPARE(DecodeHex(allBytes.toHex()), allBytes);
        QCOMPARE(DecodeHex(allBytes.toHex().toUpper()), allBytes);
        QCOMPARE(AnsiCodePage::fromText(AnsiCodePage::toText(allBytes)), allBytes);
    }

    // Text goes out in windows-1251, with '?' for what the code page lacks.
    void encodeText()
    {
        QCOMPARE(EncodeHex(QString()), QByteArray());
        QCOMPARE(EncodeHex(u"a\tb"_s), "61" "09" "62"_ba); // a tab takes two digits too
        QCOMPARE(EncodeHex(u"Игра"_s), "C8E3F0E0"_ba);
        QCOMPARE(EncodeHex(u"a\u4e00b"_s), "613F62"_ba);
        QCOMPARE(EncodeHex(u"x\U0001F600y"_s), "783F79"_ba); // beyond the BMP
        QCOMPARE(EncodeHex(u"x\U0001F600"_s), "783F"_ba);    // the same at the end
        QCOMPARE(EncodeHex(u"\u001a\u4e00"_s), "1A3F"_ba);  // a real SUB control is kept
    }

    // A whole text decodes only if every pair does; a single pair looks at its
    // first two characters alone.
    void decodeHex_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::addColumn<std::optional<QByteArray>>("bytes");
        QTest::addColumn<std::optional<int>>("firstPair");
        const std::optional<QByteArray> rejected;
        QTest::newRow("empty") << QByteArray() << std::optional<QByteArray>("") << std::optional<int>();
        QTest::newRow("lower case") << QByteArray("4a6176") << std::optional<QByteArray>("Jav") << std::optional(0x4a);
        QTest::newRow("upper case, one pair") << QByteArray("D0") << std::optional<QByteArray>("\xD0") << std::optional(0xD0);
        QTest::newRow("odd length") << QByteArray("414") << rejected << std::optional(0x41);
        QTest::newRow("single digit") << QByteArray("4") << rejected << std::optional<int>();
        QTest::newRow("letter G second") << QByteArray("4G") << rejected << std::optional<int>();
        QTest::newRow("letter G first") << QByteArray("G4") << rejected << std::optional<int>();
        QTest::newRow("blank") << QByteArray("41 2") << rejected << std::optional(0x41);
        QTest::newRow("blank first") << QByteArray(" 4") << rejected << std::optional<int>();
        QTest::newRow("bad digit at the end of a long text")
            << QByteArray(131068, 'A') + "0x" << rejected << std::optional(0xAA);
        QTest::newRow("high byte") << QByteArray("4\xC1") << rejected << std::optional<int>();
        QTest::newRow("NUL") << QByteArray("4\0", 2) << rejected << std::optional<int>();
    }

    void decodeHex()
    {
        QFETCH(QByteArray, hex);
        QFETCH(std::optional<QByteArray>, bytes);
        QFETCH(std::optional<int>, firstPair);
        QCOMPARE(DecodeHex(hex), bytes);
        QCOMPARE(HexPairValue(hex), firstPair);
    }

    // A name without a dot is a folder, and ".." the one above; "." is left to the listing.
    void skippedNames()
    {
        for (const QByteArray &name : {".."_ba, ""_ba, "games"_ba})
            QVERIFY2(IsSkippedName(name), name.constData());
        for (const QByteArray &name : {"."_ba, "..."_ba, "game.jar"_ba, "\xD0\x98.jar"_ba})
            QVERIFY2(!IsSkippedName(name), name.constData());
    }

    void utf8ToText()
    {
        QCOMPARE(Utf8ToText(QByteArray::fromHex("D098D0B3D180D0B02E6A6172")), u"Игра.jar"_s);
        QCOMPARE(Utf8ToText({}), QString());
        // A zero byte ends the text.
        QCOMPARE(Utf8ToText("A\0B"_ba), u"A"_s);
        QCOMPARE(Utf8ToText("\0B"_ba), QString());
        QCOMPARE(Utf8ToText("a\xFF" "b"_ba), u"a\uFFFDb"_s);
        QCOMPARE(Utf8ToText("a\xD0"_ba), u"a\uFFFD"_s); // a sequence cut at the end
    }

    void codePages()
    {
        const QByteArray cyrillic("\xC8\xE3\xF0\xE0");
        for (const int page : {CodePage::AnsiAtCall, CodePage::Ansi, 1251}) {
            QCOMPARE(BytesToText(cyrillic, page), QStringLiteral("Игра"));
            QCOMPARE(TextToBytes(QStringLiteral("Игра"), page), cyrillic);
        }
        QCOMPARE(TextToBytes(QStringLiteral("Игра"), CodePage::Utf8), QByteArray("\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0"));
        QCOMPARE(BytesToText(QByteArray("\xE9\0\xE9", 3), 1252), QStringLiteral("é"));
        QCOMPARE(TextToBytes(QStringLiteral("é"), 1252), QByteArray("\xE9"));
        QCOMPARE(TextToBytes(QStringView(u"ab\0cd", 5), CodePage::Ansi), QByteArray("ab"));
        QCOMPARE(TextToBytes(QStringView(u"\0cd", 3), CodePage::Ansi), QByteArray(""));
        QCOMPARE(BytesToText("x", 123456), std::nullopt);
        QCOMPARE(TextToBytes(u"x", 123456), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(CodecTest)
#include "tst_codec.moc"
