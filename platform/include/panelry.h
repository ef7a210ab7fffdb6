// The window library programs build their screens on: a main-window base
// class and a dialog base class that lay their controls out for the two
// screen layouts, the command bar of such a window, and the version box.
//
// Layout 0 is the portrait screen (240 x 320), layout 1 the landscape one
// (320 x 240); the current layout follows the device's screen orientation.
// A control has a rectangle per layout: the one it is created with counts
// for layout 0, SetControlRect registers the other.
#pragma once

#include "framework.h"

constexpr UINT kPortraitLayout = 0;
constexpr UINT kLandscapeLayout = 1;

// The layout of the screen now.
UINT CurrentLayout();

class CBaseWnd : public CWnd {
 public:
  // The window's rectangle in the portrait layout (the landscape one has
  // width and height swapped).
  explicit CBaseWnd(const RECT& rect);
  ~CBaseWnd() override;

  // Creates the window with the rectangle of the current layout.
  BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, HWND hWndParent = nullptr,
              UINT nID = 0);

  // Called by derived windows from their own handlers: OnSize moves the
  // registered controls to the rectangles of the current layout;
  // OnSettingChange fits the window to the layout first; OnDestroy forgets
  // the controls' rectangles.
  void OnDestroy();
  void OnSize();
  void OnSettingChange(UINT uFlags, LPCWSTR lpszSection);

  UINT m_nLayout = kPortraitLayout;  // the layout the controls are in

 protected:
  void OnSize(UINT, int, int) { OnSize(); }
  RECT LayoutRect(UINT layout) const;
  DECLARE_MESSAGE_MAP()

 private:
  RECT m_rcPortrait;
};

class CAutoDlg : public CDialog {
 public:
  // The dialog's portrait rectangle and the module its templates come from.
  CAutoDlg(UINT nIDTemplate, CWnd* pParentWnd, const RECT& rect, HINSTANCE hInstance);
  ~CAutoDlg() override;

  // Derived dialogs call OnInitDialog first in theirs and OnDestroy last.
  BOOL OnInitDialog() override;
  void OnDestroy();
  // The template used instead of the dialog's own in the given layout.
  void RegistDialogResource(UINT nIDTemplate, UINT nLayout);

  virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  virtual BOOL CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd = nullptr);
  virtual BOOL InitModalIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd = nullptr);

  INT_PTR DoModal() override;

  UINT m_nLayout = kPortraitLayout;  // the layout the items are in

 protected:
  void OnSettingChange(UINT uFlags, LPCWSTR lpszSection);
  // The template of the layout: its twin, else the dialog's own.
  LPCDLGTEMPLATEW TemplateFor(UINT layout) const;
  // Moves the dialog and its items to the layout's template.
  void ApplyLayout(UINT layout);
  DECLARE_MESSAGE_MAP()

 private:
  RECT m_rcPortrait;
  UINT m_nIDTwin[2] = {0, 0};
};

// The command bar of a CBaseWnd window: kept as wide as the window when the
// layout changes.
HWND CommandBar_CreateForBase(HINSTANCE hInstance, HWND hwndParent, int idCmdBar);
// A child control whose rectangle counts for layout 0.
HWND CreateBaseControlEx(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int x, int y,
                         int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
// The control's rectangle (left, top, right, bottom) in the layout. FALSE
// with ERROR_INVALID_WINDOW_HANDLE for a window that is not a control made
// by CreateBaseControlEx, ERROR_INVALID_PARAMETER for an unknown layout.
BOOL SetControlRect(HWND hWnd, const RECT& rect, UINT nLayout);

// The version box: title, caption, icon, year, maker and version are
// string (and icon) resources of the program. The result of the box.
INT_PTR AboutDialog(UINT nTitle, UINT nCaption, UINT nIcon, UINT nYear, UINT nMaker, UINT nVersion, CWnd* pParent);
