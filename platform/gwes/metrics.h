// The device's screen and the sizes of what the window system puts around
// and inside windows, in one place. Nothing is drawn yet; these sizes give
// every window the rectangles that the device screen will render.
#pragma once

#include "ce/user.h"

namespace cedev::gwes {

constexpr int kPortraitWidth = 240;
constexpr int kPortraitHeight = 320;
constexpr int kCaptionHeight = 24;
constexpr int kBorder = 1;
constexpr int kDialogFrame = 2;
constexpr int kEdge = 2;
constexpr int kCommandBarHeight = 26;
constexpr int kIconSize = 32;
constexpr int kSmallIconSize = 16;

// Dialog base units: the device's 9-point font on its 96-dpi screen is
// 12 pixels high with characters 6 pixels wide on average.
constexpr int kDialogBaseX = 6;
constexpr int kDialogBaseY = 12;
inline int DialogUnitsToPixelsX(int units) { return units * kDialogBaseX / 4; }
inline int DialogUnitsToPixelsY(int units) { return units * kDialogBaseY / 8; }
// What a line of text of that font takes, for laying out message boxes.
constexpr int kCharWidth = kDialogBaseX;
constexpr int kLineHeight = kDialogBaseY + 2;

bool Landscape();
int ScreenWidth();
int ScreenHeight();

}  // namespace cedev::gwes
