#pragma once

#include <QFont>
#include <QRect>
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

// The windows are laid out for an 8-point default font; larger ones would not fit
// the labels and fields at their design sizes.
inline QFont designFont(QFont font)
{
    font.setPointSize(8);
    return font;
}

} // namespace Twips
