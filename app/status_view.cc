#include "status_view.h"

#include <string>

#include "app_state.h"
#include "backup_location.h"
#include "date_text.h"
#include "jobs.h"
#include "path_list.h"
#include "res/resource.h"
#include "root_locations.h"
#include "wide_text.h"

namespace {

// A status line that is rewritten only when what it says changed.
class MStatusLine {
 public:
  explicit MStatusLine(int id) : id_(id) {}

  void Show(HWND window, LPCWSTR text, BOOL force) {
    if (force || !shown_ || text_ != text) {
      SetDlgItemTextW(window, id_, text);
      text_ = text;
    }
    shown_ = TRUE;
  }

  void Clear(HWND window, BOOL force) {
    if (force || shown_) SetDlgItemTextW(window, id_, u"");
    shown_ = FALSE;
    text_.clear();
  }

  void Forget() {
    shown_ = FALSE;
    text_.clear();
  }

 private:
  int id_;
  BOOL shown_ = FALSE;
  std::u16string text_;
};

BOOL AddToBox(void* box, LPCWSTR name) {
  SendMessageW(static_cast<HWND>(box), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  return TRUE;
}

// The file's data when the location holds a data archive.
BOOL FindDataArchive(LPCWSTR location, WIN32_FIND_DATAW* archive) {
  WCHAR path[MAX_PATH];
  if (!WideFormat1(path, MAX_PATH, ARCHIVE_DATA_FILE, location)) return FALSE;
  HANDLE find = FindFirstFileW(path, archive);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(find);
  return TRUE;
}

// A string of the table formatted with its arguments; the table's texts
// are loaded with the program's limit.
template <typename... Args>
std::u16string FormatString(UINT id, Args... args) {
  WCHAR format[TEXT_LIMIT];
  if (LoadStringW(ModuleInstance, id, format, TEXT_LIMIT) == 0) return std::u16string();
  WCHAR text[TEXT_LIMIT + MAX_PATH + 32];
  wsprintfW(text, format, args...);
  return text;
}

class MStatusView {
 public:
  MStatusView() = default;
  ~MStatusView() { delete locations_; }
  MStatusView(const MStatusView&) = delete;
  MStatusView& operator=(const MStatusView&) = delete;

  void Refresh(HWND window, BOOL rebuildList) {
    UpdateLocationBox(GetDlgItem(window, IDC_LOCATION_BOX), rebuildList);
    WCHAR location[MAX_PATH];
    BOOL haveLocation = GetBackupLocation(location);
    WIN32_FIND_DATAW archive;
    BOOL haveArchive = haveLocation && FindDataArchive(location, &archive);
    EnableCommand(window, IDM_BACKUP, haveLocation);
    UpdateDateLine(window, haveArchive ? &archive : nullptr);
    UpdateFreeSpace(window, haveLocation ? location : nullptr);
    UpdateUsedMemory(window);
    firstRefresh_ = FALSE;
  }

  void SetCommandBar(HWND bar) { commandBar_ = bar; }

  void Forget() {
    delete locations_;
    locations_ = nullptr;
    commandBar_ = nullptr;
    firstRefresh_ = TRUE;
    dateShown_ = FALSE;
    freeSpace_.Forget();
    usedMemory_.Forget();
  }

 private:
  void UpdateLocationBox(HWND box, BOOL rebuildList) {
    MPathList* fresh = CollectBackupLocations();
    if (fresh) {
      if (!rebuildList && locations_ && MPathList::IsSameSet(*locations_, *fresh)) {
        delete fresh;
        return;
      }
      delete locations_;
      locations_ = fresh;
      FillBox(box, *fresh);
    } else {
      if (!rebuildList && !locations_) return;
      delete locations_;
      locations_ = nullptr;
      SendMessageW(box, CB_RESETCONTENT, 0, 0);
      EnableWindow(box, FALSE);
    }
  }

  // The box keeps the location chosen when it is still there (the exact
  // name, so a card "Card" gone does not hand the choice to "Card2"), and
  // falls back to the first location otherwise.
  static void FillBox(HWND box, const MPathList& names) {
    WCHAR chosen[MAX_PATH] = {0};
    GetWindowTextW(box, chosen, MAX_PATH);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    names.ForEach(AddToBox, box);
    EnableWindow(box, TRUE);
    LRESULT index = chosen[0] ? SendMessageW(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(chosen))
                              : CB_ERR;
    SendMessageW(box, CB_SETCURSEL, index == CB_ERR ? 0 : static_cast<WPARAM>(index), 0);
  }

  // The Restore and Delete commands need an archive; they follow the date line.
  void UpdateDateLine(HWND window, const WIN32_FIND_DATAW* archive) {
    if (archive) {
      FILETIME local;
      if (!FileTimeToLocalFileTime(&archive->ftLastWriteTime, &local)) local = archive->ftLastWriteTime;
      BOOL same = !firstRefresh_ && dateShown_ && CompareFileTime(&local, &dateTime_) == 0;
      if (!same) {
        WCHAR text[64];
        FormatBackupDate(local, text, 64);
        SetDlgItemTextW(window, IDC_LAST_BACKUP_LINE, text);
        EnableCommand(window, IDM_DELETE, TRUE);
        EnableCommand(window, IDM_RESTORE, TRUE);
      }
      dateShown_ = TRUE;
      dateTime_ = local;
    } else {
      if (firstRefresh_ || dateShown_) {
        SetDlgItemTextW(window, IDC_LAST_BACKUP_LINE, u"");
        EnableCommand(window, IDM_DELETE, FALSE);
        EnableCommand(window, IDM_RESTORE, FALSE);
      }
      dateShown_ = FALSE;
    }
  }

  // The line names the location too, so it is compared whole: two cards
  // with the same free space still each show their own name.
  void UpdateFreeSpace(HWND window, LPCWSTR location) {
    ULARGE_INTEGER available, total, free;
    if (location && GetDiskFreeSpaceExW(location, &available, &total, &free)) {
      ULONGLONG kb = free.QuadPart >> 10;
      freeSpace_.Show(window, FormatString(IDS_FREE_SPACE, location, kb).c_str(), firstRefresh_);
    } else {
      freeSpace_.Clear(window, firstRefresh_);
    }
  }

  void UpdateUsedMemory(HWND window) {
    ULARGE_INTEGER available, total, free;
    if (GetDiskFreeSpaceExW(u"\\", &available, &total, &free)) {
      ULONGLONG used = total.QuadPart > free.QuadPart ? total.QuadPart - free.QuadPart : 0;
      usedMemory_.Show(window, FormatString(IDS_USED_MEMORY, used >> 10).c_str(), firstRefresh_);
    } else {
      usedMemory_.Clear(window, firstRefresh_);
    }
  }

  // A button and the command bar's menu item of the same id go together.
  void EnableCommand(HWND window, UINT id, BOOL enable) {
    EnableWindow(GetDlgItem(window, static_cast<int>(id)), enable);
    if (commandBar_) {
      EnableMenuItem(CommandBar_GetMenu(commandBar_, 0), id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
    }
  }

  MPathList* locations_ = nullptr;  // the names now in the box
  HWND commandBar_ = nullptr;
  BOOL firstRefresh_ = TRUE;  // rewrites every line
  BOOL dateShown_ = FALSE;
  FILETIME dateTime_ = {0, 0};  // local time on the date line
  MStatusLine freeSpace_{IDC_FREE_SPACE_LINE};
  MStatusLine usedMemory_{IDC_USED_MEMORY_LINE};
};

MStatusView g_status;

}  // namespace

void RefreshStatus(HWND window, BOOL rebuildList) { g_status.Refresh(window, rebuildList); }

void SetStatusCommandBar(HWND commandBar) { g_status.SetCommandBar(commandBar); }

void ForgetStatus() { g_status.Forget(); }
