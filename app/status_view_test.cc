// The status refresh on a scratch device: the first refresh writes every
// line, later ones write only what changed and rebuild the location box only
// when the set of locations changed; the buttons and the command bar's menu
// items are enabled and greyed together.
#include "status_view.h"

#include <gtest/gtest.h>

#include <string>

#include "program_setup.h"
#include "status_panel_testing.h"
#include "terminal_root_testing.h"

namespace {

// The terminal's root and a second card mounted in the object store, which
// has the same free space as "Card Slot".
cedev::DeviceSettings TwoStoreCards() {
  cedev::DeviceSettings s = TerminalRootSettings();
  s.mounted_folders.push_back("CF Card");
  return s;
}

class StatusRefresh : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUpProgram(reinterpret_cast<HINSTANCE>(0x7A00));  // the string table
    MakeTerminalRootFolders();
    ASSERT_TRUE(CreateDirectoryW(u"\\CF Card", nullptr));
  }

  static void PutFile(LPCWSTR path, DWORD bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string data(bytes, 'x');
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, data.data(), bytes, &written, nullptr));
    CloseHandle(file);
  }

  std::u16string Text(UINT id) {
    WCHAR text[512] = {0};
    GetWindowTextW(panel_->item(id), text, 512);
    return text;
  }

  cedev::ScratchDevice device_{TwoStoreCards()};
  std::unique_ptr<StatusPanel> panel_ = std::make_unique<StatusPanel>();
};

TEST_F(StatusRefresh, NothingChangedMeansNothingWritten) {
  RefreshStatus(panel_->window(), TRUE);
  EXPECT_EQ(panel_->Take(IDC_LOCATION_BOX, CB_RESETCONTENT), 1);
  EXPECT_EQ(panel_->Take(IDC_LOCATION_BOX, CB_ADDSTRING), 4);
  for (UINT line : {IDC_LAST_BACKUP_LINE, IDC_FREE_SPACE_LINE, IDC_USED_MEMORY_LINE}) {
    EXPECT_EQ(panel_->Take(line, WM_SETTEXT), 1) << "the first refresh writes line " << line;
  }
  for (int tick = 0; tick < 10; ++tick) RefreshStatus(panel_->window(), FALSE);
  for (UINT id : {UINT(IDC_LOCATION_BOX), UINT(IDC_LAST_BACKUP_LINE), UINT(IDC_FREE_SPACE_LINE),
                  UINT(IDC_USED_MEMORY_LINE)}) {
    EXPECT_EQ(panel_->Take(id, WM_SETTEXT), 0) << id;
  }
  EXPECT_EQ(panel_->Take(IDC_LOCATION_BOX, CB_RESETCONTENT), 0);
}

TEST_F(StatusRefresh, OnlyTheLineThatChangedIsWritten) {
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr));
  RefreshStatus(panel_->window(), TRUE);
  ASSERT_NE(SendMessageW(panel_->item(IDC_LOCATION_BOX), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(u"FlashDisk")),
            CB_ERR);
  RefreshStatus(panel_->window(), FALSE);
  panel_->Forget();

  // Space taken on FlashDisk: its free space, nothing else.
  PutFile(u"\\FlashDisk\\big.bin", 64 * 1024);
  RefreshStatus(panel_->window(), FALSE);
  EXPECT_EQ(panel_->Take(IDC_FREE_SPACE_LINE, WM_SETTEXT), 1);
  EXPECT_EQ(panel_->Take(IDC_USED_MEMORY_LINE, WM_SETTEXT), 0);
  EXPECT_EQ(panel_->Take(IDC_LAST_BACKUP_LINE, WM_SETTEXT), 0);

  // Space taken in the object store: the used memory.
  PutFile(u"\\My Documents\\big.bin", 64 * 1024);
  RefreshStatus(panel_->window(), FALSE);
  EXPECT_EQ(panel_->Take(IDC_USED_MEMORY_LINE, WM_SETTEXT), 1);
  EXPECT_EQ(panel_->Take(IDC_FREE_SPACE_LINE, WM_SETTEXT), 0);

  // An archive appears: the date line, once.
  PutFile(u"\\FlashDisk\\Backup\\Backup.dat", 16);
  RefreshStatus(panel_->window(), FALSE);
  RefreshStatus(panel_->window(), FALSE);
  EXPECT_EQ(panel_->Take(IDC_LAST_BACKUP_LINE, WM_SETTEXT), 1);
  EXPECT_FALSE(Text(IDC_LAST_BACKUP_LINE).empty());
}

TEST_F(StatusRefresh, ARebuildOnRequestKeepsTheChoice) {
  RefreshStatus(panel_->window(), TRUE);
  HWND box = panel_->item(IDC_LOCATION_BOX);
  ASSERT_NE(SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"Storage Card")),
            CB_ERR);
  panel_->Forget();
  RefreshStatus(panel_->window(), TRUE);
  EXPECT_EQ(panel_->Take(IDC_LOCATION_BOX, CB_RESETCONTENT), 1);
  EXPECT_EQ(Text(IDC_LOCATION_BOX), u"Storage Card");
  EXPECT_EQ(Text(IDC_FREE_SPACE_LINE).substr(0, 14), u"Storage Card: ");
}

// Another location with the same free space still names itself.
TEST_F(StatusRefresh, TheFreeSpaceLineFollowsTheLocationEvenWithTheSameFigure) {
  RefreshStatus(panel_->window(), TRUE);
  HWND box = panel_->item(IDC_LOCATION_BOX);
  SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"Card Slot"));
  RefreshStatus(panel_->window(), FALSE);
  std::u16string slot = Text(IDC_FREE_SPACE_LINE);
  ASSERT_EQ(slot.substr(0, 11), u"Card Slot: ");
  SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(u"CF Card"));
  RefreshStatus(panel_->window(), FALSE);
  std::u16string cf = Text(IDC_FREE_SPACE_LINE);
  ASSERT_EQ(cf.substr(0, 9), u"CF Card: ");
  EXPECT_EQ(cf.substr(9), slot.substr(11)) << "both live in the object store";
}

const CE_MENU_ITEM kCommandItems[] = {
    {MF_STRING, IDM_BACKUP, u"Backup", nullptr, 0},
    {MF_STRING, IDM_RESTORE, u"Restore", nullptr, 0},
    {MF_STRING, IDM_DELETE, u"Delete", nullptr, 0},
};
const CE_MENU_ITEM kBar[] = {{MF_POPUP, 0, u"Commands", kCommandItems, 3}};
const CE_MENU_TEMPLATE kMenu[] = {{900, kBar, 1}};

TEST_F(StatusRefresh, ButtonsAndMenuItemsAreEnabledAndGreyedTogether) {
  HINSTANCE module = reinterpret_cast<HINSTANCE>(0x7B00);
  CeRegisterMenus(module, kMenu, 1);
  HWND bar = CommandBar_Create(module, panel_->window(), 1);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(CommandBar_InsertMenubar(bar, module, 900, 0));
  HMENU menu = CommandBar_GetMenu(bar, 0);
  ASSERT_NE(menu, nullptr);
  SetStatusCommandBar(bar);
  auto greyed = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };

  RefreshStatus(panel_->window(), TRUE);
  SendMessageW(panel_->item(IDC_LOCATION_BOX), CB_SELECTSTRING, static_cast<WPARAM>(-1),
               reinterpret_cast<LPARAM>(u"FlashDisk"));
  RefreshStatus(panel_->window(), FALSE);
  EXPECT_FALSE(greyed(IDM_BACKUP));
  EXPECT_TRUE(IsWindowEnabled(panel_->item(IDM_BACKUP)));
  for (UINT id : {IDM_RESTORE, IDM_DELETE}) {
    EXPECT_TRUE(greyed(id)) << id;
    EXPECT_FALSE(IsWindowEnabled(panel_->item(id))) << id;
  }

  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr));
  PutFile(u"\\FlashDisk\\Backup\\Backup.dat", 16);
  RefreshStatus(panel_->window(), FALSE);
  for (UINT id : {IDM_BACKUP, IDM_RESTORE, IDM_DELETE}) {
    EXPECT_FALSE(greyed(id)) << id;
    EXPECT_TRUE(IsWindowEnabled(panel_->item(id))) << id;
  }
  SetStatusCommandBar(nullptr);
  DestroyWindow(bar);
}

}  // namespace
