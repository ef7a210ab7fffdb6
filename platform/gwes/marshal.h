// The data that a message's parameters point to, carried to and from a
// window of another program: text going in (WM_SETTEXT, CB_ADDSTRING ...),
// text coming back (WM_GETTEXT, CB_GETLBTEXT), the selection of an edit.
// Messages that point to structures this side cannot carry are refused.
#pragma once

#include <functional>
#include <string>

#include "ce/user.h"

namespace cedev::gwes {

enum class Carriage {
  kValues,        // the parameters are plain values
  kTextIn,        // lParam points to a zero-terminated text
  kTextOut,       // wParam units of room at lParam (WM_GETTEXT)
  kItemTextOut,   // CB_GETLBTEXT: room for the item's text at lParam
  kSelectionOut,  // EM_GETSEL: DWORDs at wParam and lParam
  kRefused,       // points to something that cannot cross programs
};

Carriage CarriageOf(UINT message, LPARAM lparam);

// The request's data; false (ERROR_NOT_SUPPORTED) when it cannot cross.
bool PackRequest(UINT message, WPARAM wparam, LPARAM lparam, std::string* payload);

using MessageCall = std::function<LRESULT(UINT message, WPARAM wparam, LPARAM lparam)>;
// On the owning thread: calls with parameters that point into local copies
// made from the payload, and fills the reply's data.
LRESULT CallUnpacked(UINT message, WPARAM wparam, LPARAM lparam, const std::string& payload, const MessageCall& call,
                     std::string* reply);

// On the sending side: puts the reply's data where the caller's parameters point.
void UnpackReply(UINT message, WPARAM wparam, LPARAM lparam, LRESULT result, const std::string& reply);

}  // namespace cedev::gwes
