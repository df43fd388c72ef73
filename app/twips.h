#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRect>
#include <QWidget>
#include <QtMath>

// Window geometry is designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi,
// for the design font. As dialog units do, the twips grow with the font the
// windows really get, so a wider face, or a larger dpi setting, still finds its
// text room in every box.
namespace Twips {

constexpr int PerPixel = 15;

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

// The design font's average letter width and line height at 96 dpi, in pixels.
constexpr QSize DesignCharacter(6, 13);

// A font's average letter width (A to Z and a to z) and line height, rounded to
// whole pixels as dialog units round them, so a face within half a pixel of the
// design keeps the design's sizes exactly.
inline QSize characterSize(const QFont &font)
{
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetricsF metrics(font);
    return QSize(qRound(metrics.horizontalAdvance(letters) / letters.size()), qRound(metrics.height()));
}

// How much the windows' font is larger than the design's, across and down. A
// smaller one keeps the design sizes, which hold the design font's text already.
inline QSizeF scaleFor(QSize character)
{
    return QSizeF(qMax(1.0, double(character.width()) / DesignCharacter.width()),
                  qMax(1.0, double(character.height()) / DesignCharacter.height()));
}

// The scale for this program's windows, taken once from the application's font.
inline QSizeF scale()
{
    static const QSizeF scale = scaleFor(characterSize(designFont(QGuiApplication::font())));
    return scale;
}

// Twips across and down to pixels, and back.
inline int toPixelsAcross(int twips)
{
    return qRound(twips * scale().width() / PerPixel);
}

inline int toPixelsDown(int twips)
{
    return qRound(twips * scale().height() / PerPixel);
}

inline int fromPixelsAcross(int pixels)
{
    return qRound(pixels * PerPixel / scale().width());
}

inline int fromPixelsDown(int pixels)
{
    return qRound(pixels * PerPixel / scale().height());
}

inline QSize toPixels(const QSize &twips)
{
    return QSize(toPixelsAcross(twips.width()), toPixelsDown(twips.height()));
}

inline QRect toPixels(const QRect &twips)
{
    return QRect(toPixelsAcross(twips.x()), toPixelsDown(twips.y()), toPixelsAcross(twips.width()),
                 toPixelsDown(twips.height()));
}

inline QSize fromPixels(const QSize &pixels)
{
    return QSize(fromPixelsAcross(pixels.width()), fromPixelsDown(pixels.height()));
}

inline QRect fromPixels(const QRect &pixels)
{
    return QRect(fromPixelsAcross(pixels.x()), fromPixelsDown(pixels.y()), fromPixelsAcross(pixels.width()),
                 fromPixelsDown(pixels.height()));
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

} // namespace Twips
