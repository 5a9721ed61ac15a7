#pragma once

#include <QRect>

// The screen-wide mouse pointer (0 default, 11 hourglass) and twips-to-pixels conversion.
namespace Screen {

constexpr int Default = 0;
constexpr int Hourglass = 11;

void setMousePointer(int code);
int mousePointer();

// 1440 twips to the inch at the screen's logical DPI (15 twips a pixel at 96 DPI).
int twipsToPixels(int twips);
QRect twipsRect(int left, int top, int width, int height);

} // namespace Screen
