#pragma once

#include <QRect>
#include <cmath>

// Lengths of the window's layout are given in twips (1/1440 inch); Qt's device-independent
// pixels are 1/96 inch, so 15 twips make one pixel and Qt scales them on other screens.
inline int Px(double twips) { return static_cast<int>(std::lround(twips / 15.0)); }

inline QRect TwipsRect(int left, int top, int width, int height) {
  return {Px(left), Px(top), Px(width), Px(height)};
}
