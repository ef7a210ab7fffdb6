// The window framework of device programs: an application object that runs
// the message loop, window objects bound to their windows with message maps,
// and dialog objects run modally by the framework's own loop.
//
// A program derives from CWinApp, defines exactly one static instance and
// overrides InitInstance; the framework supplies WinMain. Window objects
// are bound to their windows when the framework creates them (CreateEx,
// DoModal, Create) or by Attach; from then on every message of the window
// goes through the object's message map, and what the map leaves goes to
// the window's own procedure (Default).
#pragma once

#include <windows.h>

#include "ce/creation_hook.h"

class CWnd;
HINSTANCE AfxGetResourceHandle();

// --- Message maps ---------------------------------------------------------------

// One entry: a message (WM_COMMAND entries also a notification code and an
// id range) and the thunk that calls the handler on the object.
struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  UINT nLastID;
  LRESULT (*pfn)(CWnd* self, WPARAM wParam, LPARAM lParam);
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                  \
 protected:                                    \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                    \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                               \
    using ThisClass = theClass;                                                   \
    using TheBaseClass = baseClass;                                               \
    static const AFX_MSGMAP_ENTRY kEntries[] = {
#define END_MESSAGE_MAP()                                                \
  {0, 0, 0, 0, nullptr}};                                                \
  static const AFX_MSGMAP kMap = {&TheBaseClass::GetThisMessageMap, kEntries}; \
  return &kMap;                                                          \
  }

#define AFX_THUNK(body) [](CWnd* w, WPARAM wParam, LPARAM lParam) -> LRESULT { \
    ThisClass* self = static_cast<ThisClass*>(w);                              \
    (void)self; (void)wParam; (void)lParam;                                   \
    body                                                                       \
  }

// int OnCreate(LPCREATESTRUCT): -1 ends the creation.
#define ON_WM_CREATE() \
  {WM_CREATE, 0, 0, 0, AFX_THUNK(return self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam));)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, AFX_THUNK(self->OnDestroy(); return 0;)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, AFX_THUNK(self->OnTimer(static_cast<UINT_PTR>(wParam)); return 0;)},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, AFX_THUNK(self->OnPaint(); return 0;)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, AFX_THUNK(self->OnClose(); return 0;)},
// void OnSize(UINT type, int cx, int cy)
#define ON_WM_SIZE()                                                                                   \
  {WM_SIZE, 0, 0, 0, AFX_THUNK(self->OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), \
                                            static_cast<short>(HIWORD(lParam))); return 0;)},
// void OnSettingChange(UINT flags, LPCWSTR section)
#define ON_WM_SETTINGCHANGE() \
  {WM_SETTINGCHANGE, 0, 0, 0, AFX_THUNK(self->OnSettingChange(static_cast<UINT>(wParam), reinterpret_cast<LPCWSTR>(lParam)); return 0;)},
// BOOL OnHelpInfo(HELPINFO*)
#define ON_WM_HELPINFO() {WM_HELP, 0, 0, 0, AFX_THUNK(return self->OnHelpInfo(reinterpret_cast<HELPINFO*>(lParam));)},
// BOOL OnDeviceChange(UINT event, DWORD_PTR data)
#define ON_WM_DEVICECHANGE() \
  {WM_DEVICECHANGE, 0, 0, 0, AFX_THUNK(return self->OnDeviceChange(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam));)},
// LRESULT memberFxn(WPARAM, LPARAM), for user and private messages.
#define ON_MESSAGE(message, memberFxn) {message, 0, 0, 0, AFX_THUNK(return self->memberFxn(wParam, lParam);)},
// void memberFxn(): WM_COMMAND with the id from a menu, an accelerator or a
// button (notification 0).
#define ON_COMMAND(id, memberFxn) {WM_COMMAND, 0, id, id, AFX_THUNK(self->memberFxn(); return 0;)},
// void memberFxn(UINT id) for the ids first..last.
#define ON_COMMAND_RANGE(first, last, memberFxn) \
  {WM_COMMAND, 0, first, last, AFX_THUNK(self->memberFxn(static_cast<UINT>(LOWORD(wParam))); return 0;)},
// void memberFxn(): a control's notification (BN_CLICKED, CBN_SELCHANGE ...).
#define ON_CONTROL(code, id, memberFxn) {WM_COMMAND, code, id, id, AFX_THUNK(self->memberFxn(); return 0;)},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)

// --- Windows ----------------------------------------------------------------------

class CWnd {
 public:
  CWnd();
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return GetSafeHwnd(); }

  // The object bound to the window, or, for a window without one, a
  // temporary object that lives until the message loop next runs idle.
  static CWnd* FromHandle(HWND hWnd);
  // The bound object only, or NULL.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // Binds the object to an existing window without routing its messages
  // (FALSE when either is already bound); Detach undoes it.
  BOOL Attach(HWND hWnd);
  HWND Detach();
  // Binds and routes the window's messages through the object.
  BOOL SubclassWindow(HWND hWnd);

  // Creates the window bound to the object from its first message on.
  virtual BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, int x, int y,
                        int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = nullptr);
  virtual BOOL DestroyWindow();

  // The framework calls this for the messages of the window and its children
  // before they are dispatched; TRUE means handled.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Dialog-style keyboard handling of the window's key messages.
  BOOL PreTranslateInput(MSG* pMsg);

  // Every message of the window: the map, else DefWindowProc.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The window's own procedure (the one it had before it was bound).
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The message being handled, to the window's own procedure.
  LRESULT Default();
  // Called after the window's last message; the object may delete itself.
  virtual void PostNcDestroy() {}

  CWnd* GetDlgItem(int nID) const;
  CWnd* GetParent() const;
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL ShowWindow(int nCmdShow) const { return ::ShowWindow(m_hWnd, nCmdShow); }
  void UpdateWindow() const { ::UpdateWindow(m_hWnd); }
  void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE) const;
  void SetWindowText(LPCWSTR text) const { ::SetWindowTextW(m_hWnd, text); }
  BOOL EnableWindow(BOOL bEnable = TRUE) const { return ::EnableWindow(m_hWnd, bEnable); }
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) const { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
  BOOL KillTimer(UINT_PTR nIDEvent) const { return ::KillTimer(m_hWnd, nIDEvent); }

  // Wait cursor through the application object.
  void BeginWaitCursor();
  void EndWaitCursor();

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // The map's handler for the message, if any; TRUE with *pResult then.
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam, LRESULT* pResult);

  // The handlers the entry macros call; each does what the window would do
  // without a map entry.
  int OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
  void OnDestroy() { Default(); }
  void OnTimer(UINT_PTR) { Default(); }
  void OnPaint() { Default(); }
  void OnClose() { Default(); }
  void OnSize(UINT, int, int) { Default(); }
  void OnSettingChange(UINT, LPCWSTR) { Default(); }
  BOOL OnHelpInfo(HELPINFO*) { return static_cast<BOOL>(Default()); }
  BOOL OnDeviceChange(UINT, DWORD_PTR) { return static_cast<BOOL>(Default()); }

  WNDPROC m_pfnSuper = nullptr;

 private:
  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend void AfxAttachCreatedWindow(HWND, void*);
  friend class CWinApp;
  LRESULT RouteMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void Unbind();
};

// The procedure of every window bound to an object.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// The creation hook that binds a window being created to the object given.
void AfxAttachCreatedWindow(HWND hWnd, void* wnd);

// --- Dialogs ------------------------------------------------------------------------

class CDialog : public CWnd {
 public:
  CDialog();
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  ~CDialog() override;

  // Runs the dialog modally in the framework's own loop, where
  // PreTranslateMessage sees its messages; the EndDialog result, or -1 when
  // the template is unknown or the dialog cannot be created.
  virtual INT_PTR DoModal();
  // A modeless dialog of the template.
  BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
  BOOL CreateIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd = nullptr);
  // DoModal then runs the given template instead of the id's.
  BOOL InitModalIndirect(LPCDLGTEMPLATEW lpDialogTemplate, CWnd* pParentWnd = nullptr);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  void EndDialog(int nResult);

  BOOL PreTranslateMessage(MSG* pMsg) override;

  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  LPCDLGTEMPLATEW m_lpDialogTemplate = nullptr;
  // Where the templates come from: the program's resources unless set.
  HINSTANCE m_hInstResource = nullptr;
  HINSTANCE ResourceHandle() const { return m_hInstResource ? m_hInstResource : AfxGetResourceHandle(); }
  BOOL CreateFromTemplate(LPCDLGTEMPLATEW tmpl, CWnd* pParentWnd);
  LPCDLGTEMPLATEW TemplateToRun() const;
  DECLARE_MESSAGE_MAP()

 private:
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
  bool m_bContinueModal = false;
  INT_PTR m_nModalResult = -1;
  HWND ParentForModal() const;
  void RunModalLoop();
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// --- The application ----------------------------------------------------------------

class CWinApp {
 public:
  explicit CWinApp(LPCWSTR lpszAppName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Called once at start; FALSE ends the program at once.
  virtual BOOL InitInstance();
  // The message loop until WM_QUIT (posted when the main window goes);
  // returns ExitInstance's result.
  virtual int Run();
  // The exit code: by default that of the WM_QUIT that ended the loop.
  virtual int ExitInstance();
  // Offers the message to the objects of its window and the windows above
  // it, up to the main window, then to the main window.
  virtual BOOL PreTranslateMessage(MSG* pMsg);
  // Nonzero to be called again before the loop waits.
  virtual BOOL OnIdle(LONG lCount);

  // Wait cursor: +1 shows it (nesting), -1 takes one back, 0 shows it again
  // when it is on.
  virtual void DoWaitCursor(int nCode);
  void BeginWaitCursor() { DoWaitCursor(1); }
  void EndWaitCursor() { DoWaitCursor(-1); }

  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;
  LPWSTR m_lpCmdLine = nullptr;
  int m_nCmdShow = SW_SHOW;
  LPCWSTR m_pszAppName = nullptr;

 private:
  friend int AfxWinMain(HINSTANCE, HINSTANCE, LPWSTR, int);
  int m_nWaitCursorCount = 0;
  HCURSOR m_hcurWaitCursorRestore = nullptr;
  int m_nExitCode = 0;
};

// Keeps the wait cursor on for its scope.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE hInstResource);
// Registers the class under "WCE_" and its given name. TRUE also when this
// program registered it before.
BOOL AfxRegisterClass(WNDCLASSW* lpWndClass);
// The registered name of a class given to AfxRegisterClass.
constexpr const char16_t kAfxClassPrefix[] = u"WCE_";
// Sets the application's instance, command line and show command.
BOOL AfxWinInit(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
// What the framework's WinMain runs: InitInstance, then Run.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
