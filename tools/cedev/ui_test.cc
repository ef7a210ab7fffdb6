// `cedev ui`'s words: key names, what a terminal sends, and how windows and
// items are named (title before class, a label naming the item after it).
#include <gtest/gtest.h>

#include <windows.h>

#include "scratch_device.h"
#include "ui_keys.h"
#include "ui_windows.h"

namespace cedev::tool::ui {
namespace {

TEST(UiKeys, NamesWithModifiersWithoutRegardToCase) {
  struct Case {
    const char* text;
    BYTE vk;
    UINT modifiers;
  } cases[] = {{"enter", VK_RETURN, 0},
               {"Shift+Tab", VK_TAB, automation::kShift},
               {"ctrl+alt+delete", VK_DELETE, automation::kControl | automation::kAlt},
               {"ESC", VK_ESCAPE, 0},
               {"f10", VK_F10, 0},
               {"a", 'A', 0},
               {"7", '7', 0}};
  for (const auto& c : cases) {
    auto key = ParseKey(c.text);
    ASSERT_TRUE(key) << c.text;
    EXPECT_EQ(key->vk, c.vk) << c.text;
    EXPECT_EQ(key->modifiers, c.modifiers) << c.text;
  }
  for (const char* bad : {"", "+", "ctrl+", "hyper+a", "ab", "f99", "shift+", "é"}) {
    EXPECT_FALSE(ParseKey(bad)) << bad;
  }
}

std::string Kinds(const std::vector<Input>& inputs) {
  std::string out;
  for (const auto& in : inputs) {
    if (!out.empty()) out += ' ';
    switch (in.kind) {
      case Input::kQuit: out += "quit"; break;
      case Input::kNextWindow: out += "next"; break;
      case Input::kText: out += "text:" + in.text; break;
      case Input::kKey:
        out += (in.key.modifiers & automation::kShift ? "shift+" : "") + std::to_string(in.key.vk);
        break;
      case Input::kNone: out += "none"; break;
    }
  }
  return out;
}

TEST(UiKeys, WhatTheTerminalSendsAtOnceSplitsIntoKeysAndText) {
  EXPECT_EQ(Kinds(DecodeTerminal("\t\n")), "9 13");
  EXPECT_EQ(Kinds(DecodeTerminal("\r")), "13");
  EXPECT_EQ(Kinds(DecodeTerminal("ab\x1b[Zc")), "text:ab shift+9 text:c");
  EXPECT_EQ(Kinds(DecodeTerminal("\x1b")), "27");
  EXPECT_EQ(Kinds(DecodeTerminal("\x1b[A\x1bOB\x1b[C\x1b[D")), "38 40 39 37");
  EXPECT_EQ(Kinds(DecodeTerminal("\x7f\x08")), "8 8");
  EXPECT_EQ(Kinds(DecodeTerminal("時刻 12")), "text:時刻 12");
  // Sequences the screen has no use for vanish whole, not as stray text.
  EXPECT_EQ(Kinds(DecodeTerminal("\x1b[1;5Cx")), "text:x");
  EXPECT_EQ(Kinds(DecodeTerminal("\x1b[15~")), "");
  EXPECT_EQ(Kinds(DecodeTerminal("x\x01y")), "text:x text:y");
  EXPECT_EQ(Kinds(DecodeTerminal("\x0e\x03tail")), "next quit text:tail");
  EXPECT_EQ(Kinds(DecodeTerminal("\x11")), "quit");
}

TEST(UiKeys, ACharacterCutByTheReadWaitsForItsRest) {
  const std::string text = "ベルタ";  // three bytes each
  EXPECT_EQ(WholeCharacters(text), text.size());
  EXPECT_EQ(WholeCharacters(text.substr(0, 4)), 3u);
  EXPECT_EQ(WholeCharacters(text.substr(0, 5)), 3u);
  EXPECT_EQ(WholeCharacters(text.substr(0, 6)), 6u);
  EXPECT_EQ(WholeCharacters("ab\xF0\x9F\x98"), 2u);  // a four-byte character, one byte short
  EXPECT_EQ(WholeCharacters("ab\t"), 3u);
  EXPECT_EQ(WholeCharacters(""), 0u);
  EXPECT_EQ(WholeCharacters("\x80\x80\x80\x80\x80"), 5u);  // no character at all: passed on
}

class UiNames : public ::testing::Test {
 protected:
  UiNames() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"UiProbe";
    RegisterClassW(&wc);
    settings_ = CreateWindowExW(0, u"UiProbe", u"Settings", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                                nullptr);
    Child(u"STATIC", u"Name:", static_cast<UINT>(-1), 0);
    name_ = Child(u"EDIT", u"", 1001, ES_PASSWORD);
    ok_ = Child(u"BUTTON", u"OK", IDOK, BS_DEFPUSHBUTTON);
    // A command id above 32767, as the main program's buttons have.
    off_ = Child(u"BUTTON", u"Off", 40002, WS_DISABLED);
    // A window titled like the other's class: the title wins.
    titled_ = CreateWindowExW(0, u"UiProbe", u"UiProbe", WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  }

  HWND Child(LPCWSTR cls, LPCWSTR text, UINT id, DWORD style) {
    return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, settings_,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
  }

  ScratchDevice device_;
  HWND settings_ = nullptr, name_ = nullptr, ok_ = nullptr, off_ = nullptr, titled_ = nullptr;
  std::string error_;
};

TEST_F(UiNames, WindowsByHandleTitleOrClassAndItemsByIdTextOrLabel) {
  ASSERT_NE(settings_, nullptr);
  EXPECT_EQ(FindWindowNamed("settings", &error_), settings_);
  EXPECT_EQ(FindWindowNamed("UiProbe", &error_), titled_);
  char handle[32];
  std::snprintf(handle, sizeof handle, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(settings_)));
  EXPECT_EQ(FindWindowNamed(handle, &error_), settings_);
  EXPECT_EQ(FindWindowNamed("Nowhere", &error_), nullptr);
  EXPECT_NE(error_.find("Nowhere"), std::string::npos);

  EXPECT_EQ(FindItemNamed(settings_, "1001", &error_), name_);
  EXPECT_EQ(FindItemNamed(settings_, "0x3e9", &error_), name_);
  EXPECT_EQ(FindItemNamed(settings_, "name:", &error_), name_);  // the label names the edit after it
  EXPECT_EQ(FindItemNamed(settings_, "OK", &error_), ok_);
  EXPECT_EQ(FindItemNamed(settings_, "1", &error_), ok_);
  EXPECT_EQ(FindItemNamed(settings_, "Cancel", &error_), nullptr);
  EXPECT_EQ(FindItemNamed(settings_, "-5", &error_), nullptr);
}

TEST_F(UiNames, OneLinePerWindowAndItemWithItsState) {
  std::vector<std::string> lines;
  for (const auto& row : Snapshot()) {
    if (row.window.hwnd == settings_ || row.window.parent == settings_) lines.push_back(Line(row));
  }
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_NE(lines[0].find("UiProbe  0x"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"Settings\""), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1].substr(0, 2), "  ");
  EXPECT_NE(lines[1].find("STATIC  -1  \"Name:\""), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("EDIT  1001  \"\"  password"), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find("BUTTON  1  \"OK\"  default"), std::string::npos) << lines[3];
  EXPECT_NE(lines[4].find("BUTTON  40002  \"Off\"  disabled"), std::string::npos) << lines[4];
}

}  // namespace
}  // namespace cedev::tool::ui
