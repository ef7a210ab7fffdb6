// The commands behind the main window's buttons on a scratch device, with a
// plain window as the main window and a person at the dialogs: the password
// dialog, the battery rule, the delete question and automatic mode.
#include "commands.h"

#include "app_ui_testing.h"
#include <atomic>
#include <map>

#include "archive_format.h"
#include "password.h"

namespace app_test {
namespace {

const char16_t kDataArchive[] = u"\\FlashDisk\\Backup\\Backup.dat";
const char16_t kRegistryArchive[] = u"\\FlashDisk\\Backup\\Registory.dat";

bool Exists(const char16_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

class CommandTest : public AppUiTest {};

// The person answers the backup's password dialog: both fields, then Yes.
void AnswerBackupPassword(const std::u16string& password, const std::u16string& confirmation) {
  HWND dialog = AwaitDialog(u"Tolvane Utility");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD), password));
  EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD_CONFIRM), confirmation));
  EXPECT_TRUE(ui::PressItem(dialog, IDYES));
}

// The archive's password block, as the restore will check it.
bool ArchiveOpensWith(const char16_t* path, const std::u16string& password) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BYTE header[archive::kPasswordBlockOffset + archive::kPasswordBlockBytes];
  DWORD got = 0;
  bool read = ReadFile(file, header, sizeof header, &got, nullptr) && got == sizeof header;
  CloseHandle(file);
  return read && MPwdAuthentication(header + archive::kPasswordBlockOffset, password.c_str());
}

TEST_F(CommandTest, InteractiveBackupTakesTheTypedPasswordAndReportsSuccess) {
  {
    Person person([] { AnswerBackupPassword(u"Secret", u"Secret"); });
    BackupCommand(owner_);
  }
  ASSERT_TRUE(Exists(kDataArchive));
  EXPECT_TRUE(ArchiveOpensWith(kDataArchive, u"Secret"));
  EXPECT_FALSE(ArchiveOpensWith(kDataArchive, u"secret"));
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Tolvane Utility");
  EXPECT_EQ(boxes[0].text.substr(0, AppString(IDS_BACKUP_DONE).size()), AppString(IDS_BACKUP_DONE));
  EXPECT_GT(boxes[0].text.size(), AppString(IDS_BACKUP_DONE).size());  // the archive's date follows
  EXPECT_EQ(boxes[0].icon, IconText(MB_ICONINFORMATION));
  EXPECT_EQ(boxes[0].type, UINT(MB_TOPMOST | MB_ICONINFORMATION));
  EXPECT_EQ(boxes[0].owner, owner_);
  EXPECT_FALSE(RegistryOnly);
}

TEST_F(CommandTest, TheBackupQuestionAsThePersonSeesIt) {
  struct Item {
    std::u16string text;
    DWORD style = 0;
    bool present = false;
  };
  std::map<int, Item> items;
  RECT pixels{};
  UINT iconId = 0;
  {
    Person person([&] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      for (const ui::WindowInfo& info : ui::ListItems(dialog)) {
        items[static_cast<int>(info.id)] = {info.text, info.style, true};
      }
      auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, IDC_PASSWORD_ICON, STM_GETICON, 0, 0));
      int cx = 0, cy = 0;
      EXPECT_TRUE(CeGetIconInfo(icon, &iconId, &cx, &cy));
      GetWindowRect(GetDlgItem(dialog, IDC_PASSWORD_CONFIRM), &pixels);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<LPPOINT>(&pixels), 2);
      EXPECT_TRUE(ui::PressItem(dialog, IDNO));
    });
    BackupCommand(owner_);
  }
  const std::u16string& explanation = items[IDC_PASSWORD_TEXT].text;
  EXPECT_EQ(explanation.substr(0, 11), u"本体の全てのﾃﾞｰﾀを");
  const std::u16string question = u"\nﾊﾞｯｸｱｯﾌﾟを開始しますか？";
  ASSERT_GT(explanation.size(), question.size());
  EXPECT_EQ(explanation.substr(explanation.size() - question.size()), question);
  EXPECT_EQ(items[IDC_PASSWORD_LABEL].text, u"ﾊﾟｽﾜｰﾄﾞ:");
  EXPECT_EQ(items[IDC_CONFIRM_LABEL].text, u"ﾊﾟｽﾜｰﾄﾞの確認:");
  EXPECT_EQ(items[IDYES].text, u"はい");
  EXPECT_EQ(items[IDNO].text, u"いいえ");
  EXPECT_EQ(iconId, UINT(IDI_PASSWORD));
  for (int field : {IDC_PASSWORD, IDC_PASSWORD_CONFIRM}) {
    EXPECT_TRUE(items[field].style & ES_PASSWORD) << field;
    EXPECT_TRUE(items[field].style & WS_TABSTOP) << field;
  }
  EXPECT_EQ(items[IDNO].style & BS_TYPEMASK, DWORD(BS_DEFPUSHBUTTON)) << "Enter answers No";
  // The confirmation field at 40, 104, 84 x 12 dialog units.
  EXPECT_EQ(pixels.left, 40 * 6 / 4);
  EXPECT_EQ(pixels.top, 104 * 12 / 8);
  EXPECT_EQ(pixels.right - pixels.left, 84 * 6 / 4);
  EXPECT_EQ(pixels.bottom - pixels.top, 12 * 12 / 8);
  EXPECT_EQ(Journal("sound"), (std::vector<std::string>{"play SystemQuestion flags 0x10000"}));
  // No: nothing ran, nothing was said.
  EXPECT_FALSE(Exists(kDataArchive));
  EXPECT_EQ(JobStatus, DWORD(STATUS_OK));
  EXPECT_TRUE(boxes_.Take().empty());
}

TEST_F(CommandTest, HelpFromThePasswordDialogOpensTheHelpViewer) {
  InstallHelpViewer();
  {
    Person person([] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      SendMessageW(dialog, WM_HELP, 0, 0);
      EXPECT_TRUE(IsWindow(dialog)) << "help leaves the question open";
      EXPECT_TRUE(ui::PressItem(dialog, IDNO));
    });
    RestoreCommand(owner_);
  }
  EXPECT_EQ(HelpShown(), (std::vector<std::string>{"help shown: file:Tolvane.htm#Main_Contents"}));
}

TEST_F(CommandTest, AConfirmationDifferingOnlyInCaseIsRefusedAndTheFieldsEmptied) {
  std::u16string afterMismatch[2];
  {
    Person person([&] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD), u"Secret"));
      EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD_CONFIRM), u"secret"));
      EXPECT_TRUE(ui::PressItem(dialog, IDYES));
      afterMismatch[0] = ItemText(dialog, IDC_PASSWORD);
      afterMismatch[1] = ItemText(dialog, IDC_PASSWORD_CONFIRM);
      // Then the person gets it right.
      EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD), u"Again"));
      EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD_CONFIRM), u"Again"));
      EXPECT_TRUE(ui::PressItem(dialog, IDYES));
    });
    RegistryBackupCommand(owner_);
  }
  EXPECT_EQ(afterMismatch[0], u"");
  EXPECT_EQ(afterMismatch[1], u"");
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, AppString(IDS_PASSWORD_MISMATCH));
  EXPECT_EQ(boxes[0].type, UINT(MB_TOPMOST | MB_ICONHAND));
  EXPECT_NE(boxes[0].owner, owner_) << "the dialog owns the mismatch box";
  EXPECT_NE(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[1].text, AppString(IDS_BACKUP_DONE));
  EXPECT_TRUE(ArchiveOpensWith(kRegistryArchive, u"Again"));
  EXPECT_TRUE(RegistryOnly);
}

TEST_F(CommandTest, AnEmptyPasswordTwiceIsAPassword) {
  {
    Person person([] { AnswerBackupPassword(u"", u""); });
    RegistryBackupCommand(owner_);
  }
  EXPECT_TRUE(ArchiveOpensWith(kRegistryArchive, u""));
}

TEST_F(CommandTest, EscapeAndEnterOnAFieldDeclineTheQuestion) {
  for (BYTE key : {BYTE(VK_ESCAPE), BYTE(VK_RETURN)}) {
    SCOPED_TRACE(key);
    {
      Person person([key] {
        HWND dialog = AwaitDialog(u"Tolvane Utility");
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(ui::WaitForForeground(dialog, kPatience));
        EXPECT_TRUE(ui::Type(GetDlgItem(dialog, IDC_PASSWORD), u"pw"));
        ui::SendKey(key);
        EXPECT_TRUE(ui::WaitUntilGone(dialog, kPatience));
      });
      RestoreCommand(owner_);
    }
    EXPECT_TRUE(boxes_.Take().empty()) << "no job ran";
    EXPECT_EQ(JobStatus, DWORD(STATUS_OK));
    EXPECT_EQ(JobOperation, DWORD(JOB_OPERATION_RESTORE));
  }
}

TEST_F(CommandTest, TheRestoreQuestionAsksOnceAndItsLandscapeTwinTakesTheSameLayout) {
  ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.landscape = true; }));
  bool hasConfirmation = true;
  std::u16string text;
  RECT field{};
  {
    Person person([&] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      hasConfirmation = GetDlgItem(dialog, IDC_PASSWORD_CONFIRM) != nullptr;
      text = ItemText(dialog, IDC_PASSWORD_TEXT);
      GetWindowRect(GetDlgItem(dialog, IDC_PASSWORD), &field);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<LPPOINT>(&field), 2);
      EXPECT_TRUE(ui::PressItem(dialog, IDNO));
    });
    RegistryRestoreCommand(owner_);
  }
  EXPECT_FALSE(hasConfirmation);
  EXPECT_EQ(text.substr(0, 6), u"選択した場所");
  EXPECT_EQ(field.left, 40 * 6 / 4);
  EXPECT_EQ(field.top, 72 * 12 / 8);
  EXPECT_EQ(field.right - field.left, 84 * 6 / 4);
}

TEST_F(CommandTest, TheBackupsLandscapeTwinIsWider) {
  ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.landscape = true; }));
  RECT yes{}, confirm{};
  {
    Person person([&] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      GetWindowRect(GetDlgItem(dialog, IDYES), &yes);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<LPPOINT>(&yes), 2);
      GetWindowRect(GetDlgItem(dialog, IDC_PASSWORD_CONFIRM), &confirm);
      MapWindowPoints(nullptr, dialog, reinterpret_cast<LPPOINT>(&confirm), 2);
      EXPECT_TRUE(ui::PressItem(dialog, IDNO));
    });
    BackupCommand(owner_);
  }
  EXPECT_EQ(yes.top, 102 * 12 / 8);
  EXPECT_EQ(yes.right - yes.left, 44 * 6 / 4);
  EXPECT_EQ(confirm.left, 40 * 6 / 4);
  EXPECT_EQ(confirm.top, 86 * 12 / 8);
  EXPECT_EQ(confirm.right - confirm.left, 108 * 6 / 4);
}

TEST_F(CommandTest, TheRefreshTimerStopsForTheCommandAndStartsAgainAfterIt) {
  log_.Ignore(WM_PAINT);
  ASSERT_TRUE(SetTimer(owner_, 256, 100, nullptr));
  log_.Take();
  {
    Person person([] {
      HWND dialog = AwaitDialog(u"Tolvane Utility");
      ASSERT_NE(dialog, nullptr);
      Sleep(1000);  // ten periods of the old timer, in device time
      EXPECT_TRUE(ui::PressItem(dialog, IDNO));
    });
    BackupCommand(owner_);
  }
  auto timers = [&] {
    int n = 0;
    for (const cedev::SeenMessage& m : log_.Take()) n += m.message == WM_TIMER && m.wparam == 256;
    return n;
  };
  EXPECT_EQ(timers(), 0) << "the main window refreshed while the command ran";
  Sleep(1200);
  cedev::PumpPending();
  EXPECT_EQ(timers(), 1) << "timer 256 runs again, once a second";
}

// ---- The battery rule

class BatteryTest : public CommandTest {
 protected:
  // An automatic registry-only backup or restore; the box it showed.
  std::vector<ShownBox> Run(LONG code) {
    AutoRunCode = code;
    AutoRunLocation[0] = 0;
    std::u16string(u"FlashDisk").copy(AutoRunLocation, 9);
    AutoRunLocation[9] = 0;
    if (code == AUTORUN_REGISTRY_BACKUP) RegistryBackupCommand(owner_);
    if (code == AUTORUN_REGISTRY_RESTORE) RegistryRestoreCommand(owner_);
    AutoRunCode = AUTORUN_NONE;
    return boxes_.Take();
  }
  bool Refused(LONG code, UINT stringId) {
    std::vector<ShownBox> boxes = Run(code);
    if (boxes.size() != 1 || boxes[0].text != AppString(stringId)) return false;
    EXPECT_EQ(boxes[0].type, UINT(MB_TOPMOST | MB_DEFBUTTON2 | MB_ICONHAND));
    EXPECT_EQ(boxes[0].icon, IconText(MB_ICONHAND));
    EXPECT_EQ(boxes[0].owner, owner_);
    return true;
  }
};

TEST_F(BatteryTest, OtherPlatformsRefuseAnyReadingWithTheCriticalBitOnBattery) {
  SetPower("Other", AC_LINE_OFFLINE, BATTERY_FLAG_UNKNOWN);
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
  EXPECT_FALSE(Exists(kRegistryArchive)) << "no job ran";
  SetPower("Other", AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL | BATTERY_FLAG_LOW);
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_RESTORE, IDS_RESTORE_LOW_BATTERY));

  SetPower("Other", AC_LINE_OFFLINE, BATTERY_FLAG_CHARGING);
  EXPECT_FALSE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
  EXPECT_TRUE(Exists(kRegistryArchive));
  SetPower("Other", AC_LINE_UNKNOWN, BATTERY_FLAG_UNKNOWN);
  EXPECT_FALSE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
  SetPower("Other", AC_LINE_ONLINE, BATTERY_FLAG_CRITICAL);
  EXPECT_FALSE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
}

TEST_F(BatteryTest, TovakRefusesOnlyThePlainCriticalFlag) {
  SetPower("Tovak", AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL);
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_RESTORE, IDS_RESTORE_LOW_BATTERY));
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));

  SetPower("Tovak", AC_LINE_OFFLINE, BATTERY_FLAG_CRITICAL | BATTERY_FLAG_CHARGING);
  std::vector<ShownBox> boxes = Run(AUTORUN_REGISTRY_RESTORE);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, AppString(IDS_ARCHIVE_READ_FAILED)) << "the restore ran (and found no archive)";
  SetPower("Tovak", AC_LINE_OFFLINE, BATTERY_FLAG_UNKNOWN);
  EXPECT_FALSE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
}

TEST_F(BatteryTest, NoPowerReadingRefusesTheJob) {
  SetPower("Tovak", AC_LINE_ONLINE, BATTERY_FLAG_HIGH);
  ASSERT_TRUE(cedev::AddFault("power.status", u"battery", ERROR_NOT_READY));
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_BACKUP, IDS_BACKUP_LOW_BATTERY));
  EXPECT_TRUE(Refused(AUTORUN_REGISTRY_RESTORE, IDS_RESTORE_LOW_BATTERY));
  EXPECT_FALSE(Exists(kRegistryArchive));
}

TEST_F(BatteryTest, ThePasswordComesBeforeTheBatteryBox) {
  SetPower("Other", AC_LINE_OFFLINE, BATTERY_FLAG_UNKNOWN);
  {
    Person person([] { AnswerBackupPassword(u"pw", u"pw"); });
    BackupCommand(owner_);
  }
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, AppString(IDS_BACKUP_LOW_BATTERY));
  EXPECT_EQ(boxes[0].owner, owner_) << "the password dialog had gone";
  EXPECT_FALSE(Exists(kDataArchive));
}

// ---- Delete

TEST_F(CommandTest, DeleteAsksAndOnYesRemovesOnlyTheDataArchive) {
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr));
  for (const char16_t* path : {kDataArchive, kRegistryArchive}) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
  }
  boxes_.AnswerNext(IDNO);
  DeleteCommand(owner_);
  EXPECT_TRUE(Exists(kDataArchive));
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, AppString(IDS_DELETE_QUESTION));
  EXPECT_EQ(boxes[0].type, 0x40124u);
  EXPECT_EQ(boxes[0].owner, owner_);

  boxes_.AnswerNext(IDYES);
  DeleteCommand(owner_);
  EXPECT_FALSE(Exists(kDataArchive));
  EXPECT_TRUE(Exists(kRegistryArchive));
  EXPECT_EQ(boxes_.Take().size(), 1u) << "the result is not reported";

  boxes_.AnswerNext(IDYES);
  DeleteCommand(owner_);  // nothing left to delete: still nothing said
  EXPECT_EQ(boxes_.Take().size(), 1u);
}

// ---- Automatic mode

TEST_F(CommandTest, AutomaticModeAsksNothingAndUsesTheCommandLinePassword) {
  std::atomic<bool> asked{false};
  std::atomic<bool> done{false};
  Person watcher([&] {
    while (!done) {
      HWND dialog = FindWindowW(u"Dialog", u"Tolvane Utility");
      auto info = dialog ? ui::Describe(dialog) : std::nullopt;
      if (info && !info->message_box) {
        asked = true;
        ui::PressItem(dialog, IDNO);
      }
      Sleep(10);
    }
  });
  AutoRunCode = AUTORUN_REGISTRY_BACKUP;
  std::u16string(u"cmd-line").copy(AutoRunPassword, 8);
  AutoRunPassword[8] = 0;
  std::u16string(u"FlashDisk").copy(AutoRunLocation, 9);
  AutoRunLocation[9] = 0;
  RegistryBackupCommand(owner_);
  AutoRunCode = AUTORUN_NONE;
  done = true;
  EXPECT_FALSE(asked);
  EXPECT_TRUE(ArchiveOpensWith(kRegistryArchive, u"cmd-line"));
}

}  // namespace
}  // namespace app_test
