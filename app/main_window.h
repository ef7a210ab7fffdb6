// The program's only top-level window. For a person it shows the backup
// location box, the date of the backup there, free space and used memory,
// and the Backup, Restore and Delete buttons; in an unattended run it stays
// out of sight, runs the one command the command line asked for and
// destroys itself, which ends the program.
#pragma once

#include <windows.h>

#include "panelry.h"

extern HWND MainWindowHandle;  // the main window, once created

// The main window's class as registered, and as found by a second start:
// the framework registers classes under its prefix "WCE_".
constexpr WCHAR kMainWindowClass[] = u"tlvkit";
constexpr WCHAR kMainWindowRegisteredClass[] = u"WCE_tlvkit";

// Posted to itself by the window of an unattended run, with AutoRunCode.
constexpr UINT kAutoRunMessage = 0x800A;

// Directions of MoveFocus.
constexpr int kFocusForward = 22;
constexpr int kFocusBackward = 11;
constexpr int kFocusClose = 4455;

// The keyboard's way round the location box and the three buttons (none of
// them is a tab stop); kFocusClose posts WM_CLOSE instead.
void MoveFocus(HWND window, int direction);

class MMainWnd : public CBaseWnd {
 public:
  // Creates, shows and paints the window; the object stays without a
  // window when creation fails.
  MMainWnd();
  ~MMainWnd() override;

  BOOL PreTranslateMessage(MSG* pMsg) override;

 protected:
  int OnCreate(LPCREATESTRUCT cs);
  void OnTimer(UINT_PTR id);
  void OnPaint();
  void OnClose();
  void OnDestroy();
  void OnSize(UINT type, int cx, int cy);
  void OnSettingChange(UINT flags, LPCWSTR section);
  BOOL OnHelpInfo(HELPINFO* info);
  BOOL OnDeviceChange(UINT event, DWORD_PTR data);
  LRESULT OnAutoRun(WPARAM code, LPARAM);
  void OnCommandId(UINT id);
  DECLARE_MESSAGE_MAP()

 private:
  void CreateCommandBar();
  void CreateControls();
  void SetIcons();

  HACCEL m_hAccel = nullptr;
  HWND m_hCommandBar = nullptr;
  HICON m_hSmallIcon = nullptr;
  HICON m_hBigIcon = nullptr;
};
