#include "basInCodePage.h"

#include "ansicodepage.h"
#include "othercodepages.h"

namespace {

int resolved(int codePage)
{
    return codePage == CodePage::AnsiAtCall || codePage == CodePage::Ansi ? AnsiCodePage::Number
                                                                           : codePage;
}

QByteArrayView untilZero(QByteArrayView bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.first(zero);
}

} // namespace

std::optional<QString> BytesToText(QByteArrayView bytes, int codePage)
{
    const QByteArrayView terminated = untilZero(bytes);
    switch (const int page = resolved(codePage)) {
    case CodePage::Utf8:
        return QString::fromUtf8(terminated);
    case AnsiCodePage::Number:
        return AnsiCodePage::toText(terminated);
    default:
        return OtherCodePages::toText(terminated, page);
    }
}

std::optional<QByteArray> TextToBytes(QStringView text, int codePage)
{
    const QStringView terminated = UntilNul(text);
    switch (const int page = resolved(codePage)) {
    case CodePage::Utf8:
        return terminated.toUtf8();
    case AnsiCodePage::Number:
        return AnsiCodePage::fromText(terminated);
    default:
        return OtherCodePages::fromText(terminated, page);
    }
}

QString Utf8ToText(QByteArrayView byteText)
{
    // Byte text already holds the name's bytes, so no trip through the ANSI code page.
    return *BytesToText(byteText, CodePage::Utf8);
}

QStringView UntilNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.first(nul);
}
