// The hex codec, the name filter and the code-page conversions.
#include "charset/ansicodepage.h"
#include "charset/basInCodePage.h"
#include "phonefs/routes.h"

#include <QTest>

class CodecTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteSurvivesHexAndTheCodePage()
    {
        QByteArray allBytes;
        QByteArray phoneHex; // upper case, no leading zero
        QByteArray twoDigitHex;
        for (int value = 0; value < 256; ++value) {
            allBytes.append(char(value));
            phoneHex.append(QByteArray::number(value, 16).toUpper());
            twoDigitHex.append(QByteArray::number(value, 16).rightJustified(2, '0'));
        }
        QCOMPARE(EncodeHex(allBytes), phoneHex);
        QCOMPARE(DecodeHex(twoDigitHex), allBytes);
        QCOMPARE(DecodeHex(twoDigitHex.toUpper()), allBytes);
        QCOMPARE(AnsiCodePage::fromText(AnsiCodePage::toText(allBytes)), allBytes);
    }

    void encodeHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("tab is one digit") << QStringLiteral("a\tb") << QByteArray("619" "62");
        QTest::newRow("Cyrillic through windows-1251") << QStringLiteral("Игра") << QByteArray("C8E3F0E0");
        QTest::newRow("outside the code page") << QStringLiteral("a\u4e00b") << QByteArray("613F62");
        QTest::newRow("outside, beyond the BMP") << QStringLiteral("x\U0001F600y") << QByteArray("783F79");
        QTest::newRow("beyond the BMP at the end") << QStringLiteral("x\U0001F600") << QByteArray("783F");
        QTest::newRow("real SUB control kept") << QStringLiteral("\u001a\u4e00") << QByteArray("1A3F");
    }

    void encodeHex()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, hex);
        QCOMPARE(EncodeHex(text), hex);
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

    void skippedNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("skipped");
        QTest::newRow("parent") << QByteArray("..") << true;
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("folder") << QByteArray("games") << true;
        QTest::newRow("current") << QByteArray(".") << false;
        QTest::newRow("three dots") << QByteArray("...") << false;
        QTest::newRow("application") << QByteArray("game.jar") << false;
        QTest::newRow("UTF-8 name") << QByteArray("\xD0\x98.jar") << false;
    }

    void skippedNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, skipped);
        QCOMPARE(IsSkippedName(name), skipped);
    }

    void utf8ToText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("Cyrillic") << QByteArray::fromHex("D098D0B3D180D0B02E6A6172") << QStringLiteral("Игра.jar");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("ends at zero byte") << QByteArray("A\0B", 3) << QStringLiteral("A");
        QTest::newRow("zero byte first") << QByteArray("\0B", 2) << QString();
        QTest::newRow("malformed") << QByteArray("a\xFF" "b") << QStringLiteral("a\uFFFDb");
        QTest::newRow("cut sequence at the end") << QByteArray("a\xD0") << QStringLiteral("a\uFFFD");
    }

    void utf8ToText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Utf8ToText(bytes), text);
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
