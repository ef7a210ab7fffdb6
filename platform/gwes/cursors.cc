// Cursors: the standard shapes only; a change of cursor goes to the journal.
#include <atomic>
#include <string>

#include "ce/user.h"
#include "journal.h"
#include "last_error.h"

namespace {

constexpr uintptr_t kCursorHandleBase = 0x7F000000;

const char* StandardCursorName(uintptr_t id) {
  switch (id) {
    case 32512: return "arrow";
    case 32513: return "ibeam";
    case 32514: return "wait";
    case 32515: return "cross";
    case 32516: return "uparrow";
    case 32648: return "no";
    case 32649: return "hand";
    case 32650: return "appstarting";
    default: return nullptr;
  }
}

std::atomic<HCURSOR> g_cursor{nullptr};

}  // namespace

HCURSOR LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  auto id = reinterpret_cast<uintptr_t>(lpCursorName);
  // Programs have no cursor resources of their own.
  if (hInstance || !IS_INTRESOURCE(lpCursorName) || !StandardCursorName(id)) {
    return cedev::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, static_cast<HCURSOR>(nullptr));
  }
  return reinterpret_cast<HCURSOR>(kCursorHandleBase + id);
}

HCURSOR SetCursor(HCURSOR hCursor) {
  HCURSOR previous = g_cursor.exchange(hCursor);
  if (previous != hCursor) {
    auto value = reinterpret_cast<uintptr_t>(hCursor);
    const char* name = value > kCursorHandleBase ? StandardCursorName(value - kCursorHandleBase) : nullptr;
    cedev::JournalAppend("cursor", hCursor ? (name ? name : "custom") : "none");
  }
  return previous;
}
