// The hex codec, the name filter and the code-page conversions.
#include "charset/ansicodepage.h"
#include "charset/basInCodePage.h"
#include "phonefs/routes.h"

#include <QTest>

class CodecTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteSurvivesDecodingAndEncoding()
    {
        QByteArray allBytes;
        QByteArray twoDigitHex;
        for (int value = 0; value < 256; ++value) {
            allBytes.append(char(value));
            twoDigitHex.append(QByteArray::number(value, 16).rightJustified(2, '0').toUpper());
        }
        QCOMPARE(DecodeHex(twoDigitHex), allBytes);
        QCOMPARE(DecodeHex(twoDigitHex.toLower()), allBytes);

        // From 0x10 up the phone's two digits come back unchanged; below, one digit.
        for (int value = 0; value < 256; ++value) {
            const QByteArray pair = twoDigitHex.mid(value * 2, 2);
            const QByteArray encoded = EncodeHex(*DecodeHex(pair));
            QCOMPARE(encoded, value < 16 ? pair.right(1) : pair);
        }
    }

    void encodeHex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("empty") << QString() << QByteArray();
        QTest::newRow("tab is one digit") << QStringLiteral("a\tb") << QByteArray("619" "62");
        QTest::newRow("folder") << QStringLiteral("/tpa/preset/system/oaf/")
                                << QByteArray("2F7470612F7072657365742F73797374656D2F6F61662F");
        QTest::newRow("Cyrillic through windows-1251") << QStringLiteral("Игра") << QByteArray("C8E3F0E0");
        QTest::newRow("outside the code page") << QStringLiteral("a\u4e00b") << QByteArray("613F62");
        QTest::newRow("outside, beyond the BMP") << QStringLiteral("x\U0001F600y") << QByteArray("783F79");
        QTest::newRow("real SUB control kept") << QStringLiteral("\u001a\u4e00") << QByteArray("1A3F");
    }

    void encodeHex()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, hex);
        QCOMPARE(EncodeHex(text), hex);
    }

    void decodeHexRejects_data()
    {
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("odd length") << QByteArray("414");
        QTest::newRow("single digit") << QByteArray("4");
        QTest::newRow("letter G") << QByteArray("4G");
        QTest::newRow("blank") << QByteArray("41 2");
        QTest::newRow("bad digit at the end of a long text") << QByteArray(131068, 'A') + "0x";
        QTest::newRow("high byte") << QByteArray("4\xC1");
        QTest::newRow("NUL") << QByteArray("4\0", 2);
    }

    void decodeHexRejects()
    {
        QFETCH(QByteArray, hex);
        QCOMPARE(DecodeHex(hex), std::nullopt);
    }

    void decodeHexAccepts()
    {
        QCOMPARE(DecodeHex(""), QByteArray());
        QCOMPARE(DecodeHex("4a6176"), QByteArray("Jav"));
        QCOMPARE(DecodeHex("4A6176"), QByteArray("Jav"));
        QCOMPARE(DecodeHex("D098"), QByteArray("\xD0\x98"));
    }

    void hexPairValue()
    {
        QCOMPARE(HexPairValue("FF"), 255);
        QCOMPARE(HexPairValue("0A"), 10);
        QCOMPARE(HexPairValue("a0"), 160);
        QCOMPARE(HexPairValue("1234"), 0x12);
        QCOMPARE(HexPairValue("4G"), std::nullopt);
        QCOMPARE(HexPairValue("G4"), std::nullopt);
        QCOMPARE(HexPairValue(" 4"), std::nullopt);
        QCOMPARE(HexPairValue("4"), std::nullopt);
        QCOMPARE(HexPairValue(""), std::nullopt);
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
        QTest::newRow("ASCII") << QByteArray("game.jar") << QStringLiteral("game.jar");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("ends at zero byte") << QByteArray("A\0B", 3) << QStringLiteral("A");
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
        QCOMPARE(TextToBytes(QStringView(u"ab\0cd", 5), CodePage::Ansi), QByteArray("ab"));
        QCOMPARE(TextToBytes(QString(), CodePage::Ansi), QByteArray());
        QCOMPARE(BytesToText(QByteArray(), CodePage::Ansi), QString());
        QCOMPARE(BytesToText("x", 123456), std::nullopt);
    }

    void ansiCodePageHoldsEveryByte()
    {
        QByteArray allBytes;
        for (int value = 0; value < 256; ++value)
            allBytes.append(char(value));
        QCOMPARE(AnsiCodePage::fromText(AnsiCodePage::toText(allBytes)), allBytes);
    }
};

QTEST_GUILESS_MAIN(CodecTest)
#include "tst_codec.moc"
