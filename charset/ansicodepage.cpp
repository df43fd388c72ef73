#include "ansicodepage.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace AnsiCodePage {

namespace {
constexpr char Name[] = "windows-1251";
constexpr char Substitute = '?';
// What Qt's converter writes for a character outside the code page.
constexpr char ConverterSubstitute = '\x1a';
} // namespace

QString toText(QByteArrayView bytes)
{
    QStringDecoder decoder(Name);
    return decoder(bytes);
}

QByteArray fromText(QStringView text)
{
    QStringEncoder encoder(Name);
    QByteArray bytes = encoder(text);
    if (!bytes.contains(ConverterSubstitute))
        return bytes;

    // Rare path: find the characters that really were unrepresentable, keeping
    // a genuine U+001A as the control byte it is.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView character = text.mid(i, width);
        const QByteArray encoded = encoder(character);
        const bool lost = encoded == QByteArray(1, ConverterSubstitute) && character != QChar(0x1a);
        bytes += lost ? QByteArray(1, Substitute) : encoded;
        i += width;
    }
    return bytes;
}

} // namespace AnsiCodePage
