#include "printednames.h"

namespace {

bool isControl(QChar c)
{
    return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
}

QString escaped(const QString &text, bool asName)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (isControl(c) && (asName || c != u'\n'))
            out += QString::asprintf("\\x%02X", c.unicode());
        else if (asName && c == u'\\')
            out += QStringLiteral("\\\\");
        else
            out += c;
    }
    return out;
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    const int lower = u | 0x20;
    return lower >= u'a' && lower <= u'f' ? lower - u'a' + 10 : -1;
}

} // namespace

QString PrintedName(const QString &name)
{
    return escaped(name, true);
}

std::optional<QString> NameFromPrinted(const QString &printed)
{
    QString name;
    name.reserve(printed.size());
    for (qsizetype i = 0; i < printed.size(); ++i) {
        const QStringView rest = QStringView(printed).sliced(i);
        if (rest.startsWith(u"\\\\")) {
            name += u'\\';
            ++i;
        } else if (rest.startsWith(u"\\x") && rest.size() >= 4 && hexValue(rest[2]) >= 0 && hexValue(rest[3]) >= 0) {
            name += QChar(hexValue(rest[2]) * 16 + hexValue(rest[3]));
            i += 3;
        } else if (rest.startsWith(u'\\')) {
            return std::nullopt;
        } else {
            name += rest.front();
        }
    }
    return name;
}

QString MessageForTerminal(const QString &text)
{
    return escaped(text, false);
}
