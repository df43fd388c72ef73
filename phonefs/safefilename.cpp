#include "safefilename.h"

#include <QStringList>

namespace {

bool invisibleOrSeparator(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return c == U'/' || c == U'\\';
    }
}

bool reservedOnWindows(char32_t c)
{
    return c < 0x80 && std::char_traits<char>::find("<>:\"|?*", 7, char(c)) != nullptr;
}

// Windows takes CON, CON.jar and "con .jar" alike for the console.
bool isWindowsDeviceName(const QString &name)
{
    static const QStringList Devices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                     QStringLiteral("NUL")};
    // Windows takes the superscripts ¹ ² ³ for port numbers too: COM¹ is a device as COM1 is.
    static const QString PortDigits = QStringLiteral("123456789\u00B9\u00B2\u00B3");
    const QString base = name.section(QLatin1Char('.'), 0, 0).trimmed().toUpper();
    if (Devices.contains(base))
        return true;
    return base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
           && PortDigits.contains(base.at(3));
}

} // namespace

QString SafeFileName(const QString &phoneName, FileNameRules rules)
{
    const bool windows = rules == FileNameRules::Windows;
    QString name;
    name.reserve(phoneName.size());
    for (const char32_t c : phoneName.toUcs4()) {
        if (invisibleOrSeparator(c) || (windows && reservedOnWindows(c)))
            name += QLatin1Char('_');
        else
            name += QString::fromUcs4(&c, 1);
    }
    if (windows) {
        while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
            name.chop(1);
        if (isWindowsDeviceName(name))
            name.prepend(QLatin1Char('_'));
    }
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name.fill(QLatin1Char('_'), qMax<qsizetype>(1, name.size()));
    return name;
}
