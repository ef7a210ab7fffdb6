// The commands behind the main window's buttons on a scratch device, with a
// plain window as the main window and a person at the dialogs: the password
// dialog, the battery rule, the delete question and automatic mode.
#include "commands.h"

#include "app_ui_testing.h"
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

TEST_F(CommandTest, InteractiveBackupTakesTheTypedPasswordAndReportsSuccess) {
  {
    Person person([] { AnswerBackupPassword(u"Secret", u"Secret"); });
    BackupCommand(owner_);
  }
  ASSERT_TRUE(Exists(kDataArchive));
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, u"Tolvane Utility");
  EXPECT_EQ(boxes[0].text.substr(0, AppString(IDS_BACKUP_DONE).size()), AppString(IDS_BACKUP_DONE));
  EXPECT_GT(boxes[0].text.size(), AppString(IDS_BACKUP_DONE).size());  // the archive's date follows
  EXPECT_EQ(boxes[0].icon, IconText(MB_ICONINFORMATION));
  EXPECT_EQ(boxes[0].type, UINT(MB_TOPMOST | MB_ICONINFORMATION));
  EXPECT_EQ(boxes[0].owner, owner_);
}

}  // namespace
}  // namespace app_test
