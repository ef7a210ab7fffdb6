// The first user interface: message boxes and who answers them, string
// tables and LoadStringW, cursors in the journal.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "ce/user.h"
#include "api_expect.h"
#include "journal.h"
#include "message_box.h"
#include "scratch_device.h"

namespace {

class UserInterface : public ::testing::Test {
 protected:
  void SetUp() override {
    unsetenv("CEDEV_ANSWERS");
    cedev::ResetScriptedAnswers();
    CeSetMessageBoxAnswerer(nullptr, nullptr);
  }
  void TearDown() override { SetUp(); }

  // Nobody sits at the test's terminal: a box that no answerer or script
  // answers is pressed by the device's automatic user, at once.
  static cedev::DeviceSettings WithAutomaticUser() {
    cedev::DeviceSettings s = cedev::ScratchDevice::DefaultSettings();
    s.auto_user = true;
    s.auto_user_delay_ms = 0;
    return s;
  }

  std::vector<cedev::JournalEntry> Journal(const std::string& kind) {
    std::vector<cedev::JournalEntry> out;
    for (auto& e : cedev::JournalRead()) {
      if (e.kind == kind) out.push_back(e);
    }
    return out;
  }

  cedev::ScratchDevice device_{WithAutomaticUser()};
};

struct Seen {
  std::u16string caption, text;
  UINT type = 0;
  int reply = 0;
  int calls = 0;
};

int Answer(LPCWSTR caption, LPCWSTR text, UINT type, void* context) {
  auto* seen = static_cast<Seen*>(context);
  seen->caption = caption;
  seen->text = text;
  seen->type = type;
  ++seen->calls;
  return seen->reply;
}

TEST_F(UserInterface, WithoutAnyAnswerTheDefaultButtonIsPressed) {
  // The test runner's stdin is not a terminal, so nobody is asked; the
  // automatic user presses the default button.
  EXPECT_EQ(MessageBoxW(nullptr, u"Restore now?", u"Restore", MB_YESNO), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"Restore now?", u"Restore", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"x", u"x", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
  EXPECT_EQ(MessageBoxW(nullptr, u"x", u"x", MB_OK | MB_DEFBUTTON3), IDOK);  // no third button: the first
}

TEST_F(UserInterface, TheInstalledAnswererComesFirstAndSeesTheBox) {
  setenv("CEDEV_ANSWERS", "no", 1);
  Seen seen;
  seen.reply = IDCANCEL;
  CeSetMessageBoxAnswerer(Answer, &seen);
  EXPECT_EQ(MessageBoxW(nullptr, u"Overwrite?", u"Backup", MB_YESNOCANCEL | MB_ICONQUESTION), IDCANCEL);
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.caption, u"Backup");
  EXPECT_EQ(seen.text, u"Overwrite?");
  EXPECT_EQ(seen.type, MB_YESNOCANCEL | MB_ICONQUESTION);
  // Zero, or a button the box does not have, lets the next way answer: the script.
  seen.reply = 0;
  EXPECT_EQ(MessageBoxW(nullptr, u"Overwrite?", u"Backup", MB_YESNOCANCEL), IDNO);
  seen.reply = IDRETRY;
  EXPECT_EQ(MessageBoxW(nullptr, u"Overwrite?", u"Backup", MB_YESNOCANCEL), IDYES);  // script used up: default
}

TEST_F(UserInterface, ScriptedAnswersAreConsumedInOrder) {
  setenv("CEDEV_ANSWERS", "no, Cancel,7,retry", 1);
  EXPECT_EQ(MessageBoxW(nullptr, u"a", u"c", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"b", u"c", MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, u"c", u"c", MB_YESNO), IDNO);  // 7 is IDNO
  // An answer the box does not offer is used up and the default pressed.
  EXPECT_EQ(MessageBoxW(nullptr, u"d", u"c", MB_OK), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"e", u"c", MB_YESNO | MB_DEFBUTTON2), IDNO);
}

TEST_F(UserInterface, AnswerFilesAreConsumedLineByLine) {
  auto path = device_.dir() / "answers.txt";
  std::ofstream(path) << "yes\n\nno\n";
  setenv("CEDEV_ANSWERS", ("@" + path.string()).c_str(), 1);
  EXPECT_EQ(MessageBoxW(nullptr, u"1", u"c", MB_YESNO | MB_DEFBUTTON2), IDYES);
  EXPECT_EQ(MessageBoxW(nullptr, u"2", u"c", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, u"3", u"c", MB_YESNO | MB_DEFBUTTON2), IDNO);  // file empty: default
  std::ifstream in(path);
  std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(rest, "");
}

TEST_F(UserInterface, EveryBoxIsJournalledWithItsAnswer) {
  setenv("CEDEV_ANSWERS", "yes", 1);
  MessageBoxW(nullptr, u"Restore \"all\"?", u"\x30ea\x30b9\x30c8\x30a2", MB_YESNO | MB_ICONQUESTION);
  MessageBoxW(nullptr, u"Done", nullptr, MB_OK);
  auto boxes = Journal("msgbox");
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text,
            "caption \"\xe3\x83\xaa\xe3\x82\xb9\xe3\x83\x88\xe3\x82\xa2\" text \"Restore \\\"all\\\"?\" flags 0x24 answer "
            "yes by script");
  EXPECT_EQ(boxes[1].text, "caption \"Error\" text \"Done\" flags 0x0 answer ok by default");
}

TEST_F(UserInterface, AnUnknownBoxTypeIsRefused) {
  EXPECT_FAILS_WITH(MessageBoxW(nullptr, u"x", u"x", 0x7), 0, ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(Journal("msgbox").empty());
}

const CE_STRINGTABLE_ENTRY kStrings[] = {
    {100, u"Backup"},
    {101, u"The backup file could not be written."},
    {102, u""},
};

HINSTANCE Module(uintptr_t v) { return reinterpret_cast<HINSTANCE>(v); }

TEST(StringTables, LoadStringCopiesAndTerminates) {
  CeRegisterStringTable(Module(0x5550000), kStrings, 3);
  WCHAR buf[64];
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(LoadStringW(Module(0x5550000), 100, buf, 64), 6);
  EXPECT_EQ(std::u16string(buf), u"Backup");
  EXPECT_EQ(buf[7], u'#');
  EXPECT_EQ(LoadStringW(Module(0x5550000), 102, buf, 64), 0);
  EXPECT_EQ(buf[0], u'\0');
}

TEST(StringTables, TruncatesToTheBufferLessOne) {
  CeRegisterStringTable(Module(0x5560000), kStrings, 3);
  WCHAR buf[8];
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(LoadStringW(Module(0x5560000), 101, buf, 5), 4);
  EXPECT_EQ(std::u16string(buf), u"The ");
  EXPECT_EQ(buf[5], u'#');
  for (auto& c : buf) c = u'#';
  EXPECT_EQ(LoadStringW(Module(0x5560000), 101, buf, 1), 0);
  EXPECT_EQ(buf[0], u'\0');
  EXPECT_EQ(buf[1], u'#');
}

TEST(StringTables, ZeroLengthBufferReturnsAReadOnlyPointer) {
  CeRegisterStringTable(Module(0x5570000), kStrings, 3);
  LPCWSTR text = nullptr;
  EXPECT_EQ(LoadStringW(Module(0x5570000), 101, reinterpret_cast<LPWSTR>(&text), 0), 37);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"The backup file could not be written.");
}

TEST(StringTables, UnknownIdsModulesAndBadArguments) {
  CeRegisterStringTable(Module(0x5580000), kStrings, 3);
  WCHAR buf[8] = {u'#'};
  EXPECT_FAILS_WITH(LoadStringW(Module(0x5580000), 999, buf, 8), 0, ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(buf[0], u'#');
  EXPECT_FAILS_WITH(LoadStringW(Module(0x5590000), 100, buf, 8), 0, ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_FAILS_WITH(LoadStringW(Module(0x5580000), 100, nullptr, 8), 0, ERROR_INVALID_PARAMETER);
}

TEST_F(UserInterface, CursorChangesAreJournalled) {
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  ASSERT_NE(wait, nullptr);
  ASSERT_NE(arrow, nullptr);
  EXPECT_NE(wait, arrow);
  SetCursor(arrow);
  EXPECT_EQ(SetCursor(wait), arrow);
  SetCursor(wait);  // no change, no entry
  EXPECT_EQ(SetCursor(nullptr), wait);
  auto entries = Journal("cursor");
  std::vector<std::string> texts;
  for (auto& e : entries) texts.push_back(e.text);
  // The first SetCursor may or may not be a change, depending on earlier tests.
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "wait");
  EXPECT_EQ(texts.back(), "none");
  EXPECT_FAILS_WITH(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr, ERROR_RESOURCE_NAME_NOT_FOUND);
}

}  // namespace
