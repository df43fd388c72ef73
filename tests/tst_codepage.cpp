// The program's own windows-1251 table, against Qt's converter where Qt has one.
#include "charset/ansicodepage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

class CodePageTest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteAndCharacterAsTheSystemConverterHasIt()
    {
        // Landmarks first: they hold also where the comparisons below are skipped, as in
        // the Windows build.
        QCOMPARE(AnsiCodePage::toText("\xC0\xFF\xA8\xB8\xB9\x88\x98\x7F"),
                 QStringLiteral("АяЁё№€\u0098\u007F"));
        QCOMPARE(AnsiCodePage::fromText(u"\u0081\u0098\xD800x\xDC00\xD800"), QByteArray("?\x98?x??"));
        QCOMPARE(AnsiCodePage::conversionFault(), std::nullopt);

        QStringDecoder decoder("windows-1251");
        QStringEncoder encoder("windows-1251");
        if (!decoder.isValid() || !encoder.isValid())
            QSKIP("This Qt has no windows-1251 converter (built without ICU)");
        for (int value = 0; value < 256; ++value) {
            const QByteArray byte(1, char(value));
            QVERIFY2(AnsiCodePage::toText(byte) == decoder(byte),
                     qPrintable(QStringLiteral("byte %1").arg(value, 2, 16, QLatin1Char('0'))));
        }
        // The converter writes SUB for what the code page lacks, and nothing for
        // characters it deems ignorable; the program writes '?' for both.
        for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
            if (QChar::isSurrogate(unit))
                continue;
            const QChar character(unit);
            QByteArray expected = encoder(QStringView(&character, 1));
            if (expected.size() != 1 || (expected == "\x1a" && unit != 0x1a))
                expected = "?";
            QVERIFY2(AnsiCodePage::fromText(QStringView(&character, 1)) == expected,
                     qPrintable(QStringLiteral("U+%1").arg(int(unit), 4, 16, QLatin1Char('0'))));
        }
    }
};

QTEST_GUILESS_MAIN(CodePageTest)
#include "tst_codepage.moc"
