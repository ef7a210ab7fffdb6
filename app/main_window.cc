#include "main_window.h"

#include "app_state.h"
#include "backup_location.h"
#include "commands.h"
#include "help.h"
#include "job_runner.h"
#include "res/resource.h"
#include "status_view.h"
#include "wide_text.h"

HWND MainWindowHandle = nullptr;

namespace {

// One control of the window: where it sits on the portrait screen
// (x, y, width, height) and on the landscape one (left, top, right, bottom).
struct ControlLayout {
  LPCWSTR className;
  UINT id;
  UINT textId;  // 0: no text
  DWORD style;
  int x, y, width, height;
  RECT landscape;
};

constexpr DWORD kPlain = WS_CHILD | WS_VISIBLE;                                   // 0x50000000
constexpr DWORD kCentred = kPlain | SS_CENTER;                                    // 0x50000001
constexpr DWORD kLocationBox = kPlain | WS_VSCROLL | CBS_DROPDOWNLIST;            // 0x50200003

// In creation order. None is a tab stop: MoveFocus moves the keyboard.
const ControlLayout kControls[] = {
    {u"STATIC", 0, IDS_DESCRIPTION, kPlain, 24, 28, 192, 54, {10, 46, 310, 46}},  // hidden in landscape
    {u"STATIC", 0, IDS_LOCATION_LABEL, kPlain, 24, 86, 56, 16, {10, 50, 66, 66}},
    {u"COMBOBOX", IDC_LOCATION_BOX, 0, kLocationBox, 80, 82, 136, 120, {66, 46, 310, 166}},
    {u"BUTTON", IDM_BACKUP, IDS_BACKUP_BUTTON, kPlain, 24, 106, 192, 24, {10, 70, 155, 94}},
    {u"BUTTON", IDM_RESTORE, IDS_RESTORE_BUTTON, kPlain, 24, 154, 192, 24, {165, 70, 310, 94}},
    {u"STATIC", 0, IDS_LAST_BACKUP_LABEL, kCentred, 24, 178, 192, 20, {165, 94, 310, 114}},
    {u"STATIC", IDC_LAST_BACKUP_LINE, 0, kCentred, 24, 198, 192, 20, {165, 114, 310, 134}},
    {u"BUTTON", IDM_DELETE, IDS_DELETE_BUTTON, kPlain, 24, 218, 192, 24, {10, 134, 310, 158}},
    {u"STATIC", IDC_FREE_SPACE_LINE, 0, kCentred, 24, 242, 192, 20, {10, 158, 310, 178}},
    {u"STATIC", IDC_USED_MEMORY_LINE, 0, kCentred, 24, 262, 192, 15, {10, 178, 310, 193}},
};

// What the worker thread and the commands learn as the location: the text
// of the location box. From the worker this is a send to the box, which the
// user-interface thread serves while the progress dialog runs.
BOOL LocationFromWindow(LPWSTR location) {
  HWND box = MainWindowHandle ? GetDlgItem(MainWindowHandle, IDC_LOCATION_BOX) : nullptr;
  if (!box) return FALSE;
  WCHAR text[MAX_PATH] = {0};
  if (GetWindowTextW(box, text, MAX_PATH) <= 0) return FALSE;
  return WideCopy(location, MAX_PATH, text);
}

BOOL IsAutomaticRun() { return AutoRunCode != AUTORUN_NONE; }

}  // namespace

void MoveFocus(HWND window, int direction) {
  if (direction == kFocusClose) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  HWND box = GetDlgItem(window, IDC_LOCATION_BOX);
  HWND backup = GetDlgItem(window, IDM_BACKUP);
  HWND restore = GetDlgItem(window, IDM_RESTORE);
  HWND erase = GetDlgItem(window, IDM_DELETE);
  HWND focus = GetFocus();
  // Restore and Delete are enabled together, when there is a backup.
  BOOL all = IsWindowEnabled(restore) || IsWindowEnabled(erase);
  HWND next = nullptr;
  if (direction == kFocusForward) {
    if (all) {
      next = focus == box ? backup : focus == backup ? restore : focus == restore ? erase : box;
    } else {
      next = focus == box ? backup : box;
    }
  } else if (direction == kFocusBackward) {
    if (all) {
      next = focus == box      ? erase
             : focus == backup ? box
             : focus == restore ? backup
             : focus == erase   ? restore
                                : nullptr;
    } else {
      next = focus == box ? backup : box;
    }
  }
  if (next) SetFocus(next);
}

// Accelerators come with notification code 1, menus and buttons with 0.
#define ON_COMMAND_OR_ACCELERATOR_RANGE(first, last, memberFxn) \
  ON_COMMAND_RANGE(first, last, memberFxn)                      \
  {WM_COMMAND, 1, first, last, AFX_THUNK(self->memberFxn(static_cast<UINT>(LOWORD(wParam))); return 0;)},

BEGIN_MESSAGE_MAP(MMainWnd, CBaseWnd)
  ON_WM_CREATE()
  ON_WM_TIMER()
  ON_WM_PAINT()
  ON_WM_CLOSE()
  ON_WM_DESTROY()
  ON_WM_SIZE()
  ON_WM_SETTINGCHANGE()
  ON_WM_HELPINFO()
  ON_WM_DEVICECHANGE()
  ON_MESSAGE(kAutoRunMessage, OnAutoRun)
  ON_COMMAND_OR_ACCELERATOR_RANGE(IDM_QUIT, IDM_VERSION, OnCommandId)
END_MESSAGE_MAP()

MMainWnd::MMainWnd() : CBaseWnd(RECT{0, 0, 240, 320}) {
  m_hAccel = LoadAcceleratorsW(ModuleInstance, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
  SetWindowLocationSource(LocationFromWindow);
  if (!Create(kMainWindowRegisteredClass, AppTitle, WS_VISIBLE)) return;
  MainWindowHandle = m_hWnd;
  RefreshStatus(m_hWnd, TRUE);
  SetIcons();
  ShowWindow(SW_SHOW);
  InvalidateRect(m_hWnd, nullptr, TRUE);
  UpdateWindow();
  if (m_hCommandBar) CommandBar_Show(m_hCommandBar, TRUE);
}

MMainWnd::~MMainWnd() {
  if (m_hWnd) DestroyWindow();
  if (m_hAccel) DestroyAcceleratorTable(m_hAccel);
  if (m_hSmallIcon) DestroyIcon(m_hSmallIcon);
  if (m_hBigIcon) DestroyIcon(m_hBigIcon);
  SetWindowLocationSource(nullptr);
}

void MMainWnd::SetIcons() {
  m_hSmallIcon = static_cast<HICON>(LoadImageW(ModuleInstance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 16, 16, 0));
  m_hBigIcon = static_cast<HICON>(LoadImageW(ModuleInstance, MAKEINTRESOURCEW(IDI_MAIN), IMAGE_ICON, 32, 32, 0));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hBigIcon));
}

int MMainWnd::OnCreate(LPCREATESTRUCT cs) {
  int result = CWnd::OnCreate(cs);
  // The location box is read through this handle, already by the first refresh.
  MainWindowHandle = m_hWnd;
  if (IsAutomaticRun()) {
    // Out of sight: the one command runs once the message loop does.
    MoveWindow(0, 0, 0, 0, TRUE);
    PostMessage(kAutoRunMessage, static_cast<WPARAM>(AutoRunCode), 0);
    return result;
  }
  InitCommonControls();
  CreateCommandBar();
  CreateControls();
  RefreshStatus(m_hWnd, TRUE);
  SetTimer(kRefreshTimerId, kRefreshPeriodMs);
  return result;
}

void MMainWnd::CreateCommandBar() {
  m_hCommandBar = CommandBar_CreateForBase(ModuleInstance, m_hWnd, 1);
  if (!m_hCommandBar) return;
  CommandBar_InsertMenubar(m_hCommandBar, ModuleInstance, IDR_MAIN_MENU, 0);
  CommandBar_AddAdornments(m_hCommandBar, 0, 0);
  SetStatusCommandBar(m_hCommandBar);
}

void MMainWnd::CreateControls() {
  for (const ControlLayout& c : kControls) {
    WCHAR text[TEXT_LIMIT] = {0};
    if (c.textId && LoadStringW(ModuleInstance, c.textId, text, TEXT_LIMIT) == 0) text[0] = 0;
    HWND control = CreateBaseControlEx(0, c.className, text, c.style, c.x, c.y, c.width, c.height, m_hWnd,
                                       reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)), ModuleInstance, nullptr);
    if (control) SetControlRect(control, c.landscape, kLandscapeLayout);
  }
}

void MMainWnd::OnTimer(UINT_PTR) {
  RefreshStatus(m_hWnd, FALSE);
  Default();
}

void MMainWnd::OnPaint() {
  // The controls paint themselves.
  PAINTSTRUCT paint;
  BeginPaint(m_hWnd, &paint);
  EndPaint(m_hWnd, &paint);
}

void MMainWnd::OnClose() {
  // A running job's worker still needs this window (its location box, its
  // message loop); closing it would end the program in the middle of a
  // restore.
  if (ProgressDialogOpen) return;
  Default();
}

void MMainWnd::OnDestroy() {
  CBaseWnd::OnDestroy();
  KillTimer(kRefreshTimerId);
  if (m_hCommandBar) {
    ::DestroyWindow(m_hCommandBar);
    m_hCommandBar = nullptr;
  }
  ForgetStatus();
  MainWindowHandle = nullptr;
  PostQuitMessage(0);
}

void MMainWnd::OnSize(UINT, int, int) {
  if (!IsAutomaticRun()) CBaseWnd::OnSize();
}

void MMainWnd::OnSettingChange(UINT flags, LPCWSTR section) {
  if (!IsAutomaticRun()) CBaseWnd::OnSettingChange(flags, section);
}

BOOL MMainWnd::OnHelpInfo(HELPINFO*) {
  OpenHelp();
  return TRUE;
}

BOOL MMainWnd::OnDeviceChange(UINT, DWORD_PTR) {
  // A card inserted or removed shows at once, not at the next tick.
  RefreshStatus(m_hWnd, FALSE);
  return TRUE;
}

LRESULT MMainWnd::OnAutoRun(WPARAM code, LPARAM) {
  switch (code) {
    case AUTORUN_BACKUP: BackupCommand(m_hWnd); break;
    case AUTORUN_RESTORE: RestoreCommand(m_hWnd); break;
    case AUTORUN_REGISTRY_BACKUP: RegistryBackupCommand(m_hWnd); break;
    case AUTORUN_REGISTRY_RESTORE: RegistryRestoreCommand(m_hWnd); break;
    default: break;
  }
  if (code != AUTORUN_NONE) DestroyWindow();
  return 0;
}

void MMainWnd::OnCommandId(UINT id) {
  switch (id) {
    case IDM_QUIT: SendMessage(WM_CLOSE); break;
    case IDM_BACKUP: BackupCommand(m_hWnd); break;
    case IDM_RESTORE:
      RestoreCommand(m_hWnd);
      RefreshStatus(m_hWnd, TRUE);
      break;
    case IDM_DELETE:
      DeleteCommand(m_hWnd);
      RefreshStatus(m_hWnd, TRUE);
      break;
    case IDM_VERSION:
      AboutDialog(IDS_APP_TITLE, IDS_VERSION_CAPTION, IDI_MAIN, IDS_VERSION_YEAR, IDS_MAKER, IDS_VERSION_NUMBER, this);
      break;
    default: break;
  }
}

BOOL MMainWnd::PreTranslateMessage(MSG* pMsg) {
  if (m_hAccel && TranslateAcceleratorW(m_hWnd, m_hAccel, pMsg)) return TRUE;
  if (CBaseWnd::PreTranslateMessage(pMsg)) return TRUE;
  if (pMsg->message == WM_KEYDOWN) {
    if (ProgressDialogOpen) return FALSE;
    if (GetKeyState(VK_SHIFT) != 0) {
      if (pMsg->wParam == VK_TAB) MoveFocus(m_hWnd, kFocusBackward);
    } else if (pMsg->wParam == VK_TAB) {
      MoveFocus(m_hWnd, kFocusForward);
    } else if (pMsg->wParam == VK_ESCAPE) {
      MoveFocus(m_hWnd, kFocusClose);
    }
  }
  return PreTranslateInput(pMsg);
}
