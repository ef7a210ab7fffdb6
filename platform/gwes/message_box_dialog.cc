// MessageBoxW: a dialog of class "Dialog" with the text, the icon item and
// the buttons, run modally like any dialog. The ways of answering press its
// buttons through the window's own messages; whoever else presses them
// (another program, the automation API, the automatic device user) does so
// through the same messages.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "ce/user.h"
#include "device_folder.h"
#include "dialogs.h"
#include "host_process.h"
#include "journal.h"
#include "last_error.h"
#include "message_box.h"
#include "metrics.h"
#include "private_messages.h"
#include "session.h"
#include "window_ops.h"
#include "wstr.h"

namespace cedev {
namespace gwes {
namespace {

std::string Quoted(std::u16string_view text) {
  std::string out = "\"";
  for (char c : ToUtf8(text)) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

bool Offers(const BoxButtons& buttons, int id) {
  return std::find(buttons.ids.begin(), buttons.ids.end(), id) != buttons.ids.end();
}

// --- The box's window ----------------------------------------------------

// Button captions in the device's UI language.
const char16_t* ButtonCaption(int id) {
  Device* dev = Device::Current();
  bool japanese = dev && dev->SettingsSnapshot()->ui_language == 0x0411;
  switch (id) {
    case IDOK: return u"OK";
    case IDCANCEL: return japanese ? u"\u30AD\u30E3\u30F3\u30BB\u30EB" : u"Cancel";
    case IDABORT: return japanese ? u"\u4E2D\u6B62" : u"Abort";
    case IDRETRY: return japanese ? u"\u518D\u8A66\u884C" : u"Retry";
    case IDIGNORE: return japanese ? u"\u7121\u8996" : u"Ignore";
    case IDYES: return japanese ? u"\u306F\u3044" : u"Yes";
    case IDNO: return japanese ? u"\u3044\u3044\u3048" : u"No";
    default: return u"";
  }
}

// Layout in dialog units: the text wrapped to what the screen allows, the
// icon to its left, the buttons centred below.
constexpr short kMargin = 7;
constexpr short kIconSize = 21;
constexpr short kButtonWidth = 40;
constexpr short kButtonHeight = 14;
constexpr short kButtonGap = 4;
constexpr short kLineUnits = 8;

// Half-width units take one column, wider ones two.
int Columns(char16_t c) { return (c >= 0x1100 && !(c >= 0xFF61 && c <= 0xFF9F)) ? 2 : 1; }

struct TextBlock {
  short width = 0;
  short height = 0;
};

TextBlock Measure(std::u16string_view text, int max_columns) {
  int lines = 1, column = 0, widest = 0;
  for (char16_t c : text) {
    if (c == u'\n') {
      ++lines;
      column = 0;
      continue;
    }
    if (c == u'\r') continue;
    if (column + Columns(c) > max_columns) {
      ++lines;
      column = 0;
    }
    column += Columns(c);
    widest = std::max(widest, column);
  }
  return {static_cast<short>(widest * 4), static_cast<short>(lines * kLineUnits)};
}

struct BoxTemplate {
  std::vector<CE_DIALOG_ITEM> items;
  CE_DIALOG_TEMPLATE tmpl{};
};

void BuildTemplate(BoxTemplate* box, UINT type, std::u16string_view text, LPCWSTR caption, const BoxButtons& buttons) {
  UINT icon = type & MB_ICONMASK;
  short text_x = icon ? kMargin + kIconSize + kMargin : kMargin;
  int screen_units = ScreenWidth() * 4 / kDialogBaseX;
  int max_columns = std::max(8, (screen_units - text_x - 2 * kMargin) / 4);
  TextBlock block = Measure(text, max_columns);
  short buttons_width = static_cast<short>(buttons.ids.size() * kButtonWidth + (buttons.ids.size() - 1) * kButtonGap);
  short width = std::max<short>(text_x + block.width + kMargin, buttons_width + 2 * kMargin);
  short text_height = std::max<short>(block.height, icon ? kIconSize : kLineUnits);
  short buttons_y = kMargin + text_height + kMargin;
  if (icon) {
    box->items.push_back({u"STATIC", MAKEINTRESOURCEW(icon), CE_MSGBOX_ICON_ID, SS_ICON | WS_VISIBLE, 0, kMargin,
                          kMargin, kIconSize, kIconSize});
  }
  box->items.push_back({u"STATIC", nullptr, CE_MSGBOX_TEXT_ID, SS_LEFT | SS_NOPREFIX | WS_VISIBLE, 0, text_x, kMargin,
                        block.width, block.height});
  short x = static_cast<short>((width - buttons_width) / 2);
  for (size_t i = 0; i < buttons.ids.size(); ++i) {
    int id = buttons.ids[i];
    DWORD style = WS_VISIBLE | WS_TABSTOP | (i == 0 ? WS_GROUP : 0) |
                  (id == buttons.default_id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    box->items.push_back({u"BUTTON", ButtonCaption(id), static_cast<WORD>(id), style, 0, x, buttons_y, kButtonWidth,
                          kButtonHeight});
    x = static_cast<short>(x + kButtonWidth + kButtonGap);
  }
  box->tmpl = CE_DIALOG_TEMPLATE{0, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER,
                                 (type & MB_TOPMOST) ? static_cast<DWORD>(WS_EX_TOPMOST) : 0u, 0, 0, width,
                                 static_cast<short>(buttons_y + kButtonHeight + kMargin), caption, u"", 9,
                                 box->items.data(), box->items.size()};
}

INT_PTR CALLBACK BoxProc(HWND box, UINT msg, WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<Window> w = LocalWindow(box);
  MessageBoxState* state = w && w->dialog ? w->dialog->box.get() : nullptr;
  if (!state) return FALSE;
  switch (msg) {
    case WM_INITDIALOG:
      // The text is set here: a template's item text cannot hold every text.
      SetDlgItemTextW(box, CE_MSGBOX_TEXT_ID, reinterpret_cast<LPCWSTR>(lparam));
      // The default button takes the focus when the box is shown.
      w->dialog->saved_focus = HandleValue(GetDlgItem(box, state->default_id));
      return FALSE;
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      bool offered = std::find(state->buttons.begin(), state->buttons.end(), id) != state->buttons.end();
      // Closing (Escape, the close box) is Cancel, or OK for a box with OK alone.
      if (!offered && id == IDCANCEL && state->buttons.size() == 1 && state->buttons[0] == IDOK) id = IDOK, offered = true;
      if (offered) EndDialog(box, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

// --- The ways of answering -----------------------------------------------

// A person at the terminal answers in a thread of its own, so that the box
// keeps serving its window messages meanwhile; questions take turns.
void AskPerson(HWND box, std::u16string caption, std::u16string text, BoxButtons buttons) {
  static std::mutex* turn = new std::mutex;
  std::thread([=] {
    std::lock_guard lock(*turn);
    if (!IsWindow(box)) return;
    std::cout << "\n[" << ToUtf8(caption) << "]\n" << ToUtf8(text) << "\n";
    for (size_t i = 0; i < buttons.ids.size(); ++i) {
      std::cout << "  " << i + 1 << ") " << ButtonName(buttons.ids[i])
                << (buttons.ids[i] == buttons.default_id ? " *" : "") << "\n";
    }
    int id = 0;
    while (!id && IsWindow(box)) {
      std::cout << "> " << std::flush;
      std::string line;
      if (!std::getline(std::cin, line)) {
        id = buttons.default_id;  // end of input takes the default
        break;
      }
      line = Trim(line);
      if (line.empty()) id = buttons.default_id;
      int chosen = line.size() == 1 && line[0] >= '1' && static_cast<size_t>(line[0] - '0') <= buttons.ids.size()
                       ? buttons.ids[static_cast<size_t>(line[0] - '1')]
                       : ParseAnswer(line);
      if (!id && Offers(buttons, chosen)) id = chosen;
      if (!id) std::cout << "Choose one of the buttons above.\n";
    }
    if (id) PostMessageW(box, kPrivateBoxAnswer, static_cast<WPARAM>(id), static_cast<LPARAM>(BoxAnswerer::kPerson));
  }).detach();
}

void Answer(HWND box, int id, BoxAnswerer by) {
  PostMessageW(box, kPrivateBoxAnswer, static_cast<WPARAM>(id), static_cast<LPARAM>(by));
}

// The answerer, then the script, then a person; without any of them the
// box waits for a press.
void ArrangeAnswer(HWND box, LPCWSTR caption, LPCWSTR text, UINT type, const BoxButtons& buttons, std::string* note) {
  CeMessageBoxAnswerer answerer;
  void* context;
  CurrentAnswerer(&answerer, &context);
  if (answerer) {
    int id = answerer(caption, text, type, context);
    if (Offers(buttons, id)) return Answer(box, id, BoxAnswerer::kAnswerer);
  }
  if (auto scripted = NextScriptedAnswer()) {
    int id = ParseAnswer(*scripted);
    if (Offers(buttons, id)) return Answer(box, id, BoxAnswerer::kScript);
    *note = " (scripted \"" + *scripted + "\" not offered)";
    return Answer(box, buttons.default_id, BoxAnswerer::kDefault);
  }
  if (host::InteractiveTerminal()) AskPerson(box, std::u16string(WView(caption)), std::u16string(WView(text)), buttons);
}

// Who answered, for the journal: someone who pressed through the window
// unless one of the ways of answering says it was.
std::string JournalName(const std::string& by) { return by.empty() ? "press" : by; }

}  // namespace

}  // namespace gwes
}  // namespace cedev

using namespace cedev::gwes;
using cedev::Fail;

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  cedev::BoxButtons buttons = cedev::ButtonsOf(uType);
  if (buttons.ids.empty()) return Fail(ERROR_INVALID_PARAMETER, 0);
  if (hWnd && !IsWindow(hWnd)) return Fail(ERROR_INVALID_WINDOW_HANDLE, 0);
  LPCWSTR caption = lpCaption ? lpCaption : u"Error";
  LPCWSTR text = lpText ? lpText : u"";
  // The box belongs to the owner's top-level window.
  HWND owner = hWnd;
  while (owner && (GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
  BoxTemplate box_template;
  BuildTemplate(&box_template, uType, cedev::WView(text), caption, buttons);
  auto state = std::make_unique<MessageBoxState>();
  state->type = uType;
  state->buttons = buttons.ids;
  state->default_id = buttons.default_id;
  HWND box = CreateDialogWindow(nullptr, box_template.tmpl, owner, BoxProc, reinterpret_cast<LPARAM>(text), true,
                                std::move(state));
  if (!box) return 0;
  if (uType & MB_SETFOREGROUND) SetForegroundWindow(box);
  std::string note;
  // The window object outlives the window, and with it what the box noted.
  std::shared_ptr<Window> w = LocalWindow(box);
  MessageBoxState* box_state = w->dialog->box.get();
  int answer = static_cast<int>(
      RunModalDialog(box, owner, [&] { ArrangeAnswer(box, caption, text, uType, buttons, &note); }));
  std::string by = box_state->answered_by;
  char flags[16];
  std::snprintf(flags, sizeof flags, "0x%X", uType);
  cedev::JournalAppend("msgbox", "caption " + Quoted(cedev::WView(caption)) + " text " + Quoted(cedev::WView(text)) +
                                     " flags " + flags + " answer " + cedev::ButtonName(answer) + " by " +
                                     JournalName(by) + note);
  return answer;
}
