// The rectangles registered for controls, per layout, and the geometry
// of the layouts.
#pragma once

#include <windows.h>

#include <optional>

namespace panelry {

void RememberControl(HWND control, const RECT& portrait);
bool SetRect(HWND control, UINT layout, const RECT& rect);
// The control's rectangle in the layout (the portrait one when the layout
// has none); nothing for a window that was not registered.
std::optional<RECT> RectFor(HWND control, UINT layout);
void ForgetControl(HWND control);
void RememberCommandBar(HWND bar);

// A window's rectangle in the layout, from its portrait one: the landscape
// screen has width and height swapped.
RECT InLayout(const RECT& portrait, UINT layout);
// Moves the window (the window system tells it only of a change).
void MoveTo(HWND window, const RECT& r);
bool IsCommandBar(HWND window);

}  // namespace panelry
