// The rectangles registered for controls, per layout.
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
bool IsCommandBar(HWND window);

}  // namespace panelry
