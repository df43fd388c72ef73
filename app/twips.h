#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>
#include <QtMath>

// Window geometry is designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
namespace Twips {

constexpr int PerPixel = 15;

inline int toPixels(int twips)
{
    return qRound(twips / double(PerPixel));
}

inline int fromPixels(int pixels)
{
    return pixels * PerPixel;
}

inline QRect toPixels(const QRect &twips)
{
    return QRect(toPixels(twips.x()), toPixels(twips.y()), toPixels(twips.width()),
                 toPixels(twips.height()));
}

// A control of the given kind and design name, placed at its design rectangle.
template<typename Widget>
Widget *place(QWidget *window, const char *name, const QRect &twips)
{
    auto *widget = new Widget(window);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(toPixels(twips));
    return widget;
}

// The windows are laid out for an 8-point dialog font whose letters average 6
// pixels across at 96 dpi. Liberation Sans has those metrics and Cyrillic;
// Windows has them in Microsoft Sans Serif and Arial. Wider faces would not fit
// the labels and fields at their design sizes.
inline QFont designFont(QFont font)
{
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Arial")});
    font.setPointSize(8);
    return font;
}

} // namespace Twips
