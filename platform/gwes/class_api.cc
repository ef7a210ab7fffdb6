// RegisterClassW and its relatives, on the current program's registry.
#include "ce/user.h"
#include "classes.h"
#include "last_error.h"
#include "session.h"

using cedev::Fail;
using cedev::gwes::Session;

ATOM RegisterClassW(const WNDCLASSW* lpWndClass) {
  if (!lpWndClass || !lpWndClass->lpfnWndProc || !lpWndClass->lpszClassName ||
      IS_INTRESOURCE(lpWndClass->lpszClassName) || !*lpWndClass->lpszClassName || lpWndClass->cbWndExtra < 0 ||
      lpWndClass->cbClsExtra < 0) {
    return Fail(ERROR_INVALID_PARAMETER, ATOM{0});
  }
  Session* session = Session::Current();
  if (!session) return 0;
  return session->classes().Add(*lpWndClass, false);
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  Session* session = Session::Current();
  if (!session) return FALSE;
  return session->classes().Remove(lpClassName) ? TRUE : FALSE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR lpClassName, LPWNDCLASSW lpWndClass) {
  if (!lpWndClass) return Fail(ERROR_INVALID_PARAMETER, FALSE);
  Session* session = Session::Current();
  if (!session) return FALSE;
  auto c = session->classes().Find(lpClassName);
  if (!c) return Fail(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
  *lpWndClass = c->info;
  return TRUE;
}
