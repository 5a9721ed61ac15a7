#pragma once

#include <QColor>

// The main window's fixed measures (in twips) and the colours of its display.
namespace WindowLayout {

// The client area's width, and the heights of what lies outside it (title bar, borders and
// menu bar), of the banner strip and of the status bar.
constexpr int ClientWidthTwips = 7065;
constexpr int NonClientTwips = 720;
constexpr int BannerTwips = 915;
constexpr int StatusBarTwips = 300;

// The window's outer height. With the banner it is always 4155. Without it, the window opens
// 3225 high when the settings turn the banner off, while the View, Banner command shrinks it to
// 3345; both heights are kept as they have always been.
enum OuterHeight : int { HeightWithBanner = 4155, HeightWithoutBannerAtLoad = 3225, HeightBannerHiddenByMenu = 3345 };

// The display: green text on black; a band light that is off stays dark green.
inline const QColor Black(0, 0, 0);
inline const QColor Green(0, 255, 0);
inline const QColor DarkGreen(0, 128, 0);
inline const QColor LightGrey(192, 192, 192);

} // namespace WindowLayout
