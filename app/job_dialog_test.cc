// The program's job runner on a scratch device: the progress dialog as a
// person sees it (texts, keys that must do nothing, the close box and the
// cancel question), the result box of each main outcome with its icon as
// the auto-restore tool reads it, and the restore's steps around its worker.
#include <algorithm>
#include <atomic>

#include "app_ui_testing.h"
#include "commands.h"
#include "fixups.h"
#include "job_runner.h"
#include "password.h"

namespace app_test {
namespace {

const char16_t kDataArchive[] = u"\\FlashDisk\\Backup\\Backup.dat";
const char16_t kRegistryTemp[] = u"\\FlashDisk\\Backup\\Registory.$$$";
const char16_t kBackupCaption[] = u"ﾊﾞｯｸｱｯﾌﾟ";
const char16_t kRestoreCaption[] = u"ﾘｽﾄｱ";

bool Exists(const char16_t* path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool PutFile(const char16_t* path, const std::string& content) {
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = WriteFile(file, content.data(), DWORD(content.size()), &put, nullptr) && put == content.size();
  return CloseHandle(file) && ok;
}

// An older data archive written at 2013-02-05 15:07 device time (JST).
void PutOlderDataArchive() {
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Backup", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(PutFile(kDataArchive, "older archive"));
  SYSTEMTIME utc = {2013, 2, 2, 5, 6, 7, 0, 0};
  FILETIME written;
  ASSERT_TRUE(SystemTimeToFileTime(&utc, &written));
  HANDLE file = CreateFileW(kDataArchive, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
}

// A worker the test holds until it lets it go.
struct HeldWorker {
  static HANDLE release;
  static std::atomic<DWORD> result;
  static DWORD Run(LPVOID) {
    WaitForSingleObject(release, INFINITE);
    return result.load();
  }
};
HANDLE HeldWorker::release = nullptr;
std::atomic<DWORD> HeldWorker::result{1};

// A worker that fails without saying why.
DWORD SilentFailure(LPVOID) { return 0; }

class JobDialogTest : public AppUiTest {
 protected:
  void SetUp() override {
    AppUiTest::SetUp();
    HeldWorker::release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HeldWorker::result = 1;
  }
  void TearDown() override {
    CloseHandle(HeldWorker::release);
    AppUiTest::TearDown();
  }

  // A registry-only backup or restore as the automatic run starts it.
  void Automatic(LONG code, const std::u16string& password) {
    AutoRunCode = code;
    password.copy(AutoRunPassword, password.size());
    AutoRunPassword[password.size()] = 0;
    const std::u16string location = u"FlashDisk";
    location.copy(AutoRunLocation, location.size());
    AutoRunLocation[location.size()] = 0;
    switch (code) {
      case AUTORUN_BACKUP: BackupCommand(owner_); break;
      case AUTORUN_RESTORE: RestoreCommand(owner_); break;
      case AUTORUN_REGISTRY_BACKUP: RegistryBackupCommand(owner_); break;
      case AUTORUN_REGISTRY_RESTORE: RegistryRestoreCommand(owner_); break;
    }
    AutoRunCode = AUTORUN_NONE;
  }

  // The one box the job showed.
  ShownBox OnlyBox() {
    auto boxes = boxes_.Take();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? ShownBox{} : boxes.back();
  }
  void ExpectFailureBox(UINT stringId) {
    ShownBox box = OnlyBox();
    EXPECT_EQ(box.text, AppString(stringId));
    EXPECT_EQ(box.caption, u"Tolvane Utility");
    EXPECT_EQ(box.type, UINT(MB_TOPMOST | MB_ICONHAND));
    EXPECT_EQ(box.icon, IconText(MB_ICONHAND));
    EXPECT_EQ(box.owner, owner_);
  }
  void ExpectSuccessBox(const std::u16string& text) {
    ShownBox box = OnlyBox();
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.type, UINT(MB_TOPMOST | MB_ICONINFORMATION));
    EXPECT_EQ(box.icon, IconText(MB_ICONINFORMATION));
    EXPECT_EQ(box.owner, owner_);
  }
};

// ---- The progress dialog

TEST_F(JobDialogTest, TheProgressDialogShowsTheJobAndIgnoresEnterAndEscapeUntilTheWorkerEnds) {
  MBackupJob job;
  struct Seen {
    std::u16string text;
    DWORD style = 0;
    bool foreground = false;
    bool openAfterKeys = false;
    LONG dialogOpen = 0;
    MJob* current = nullptr;
    bool ownerEnabled = true;
  } seen;
  INT_PTR result = -2;
  {
    Person person([&] {
      HWND dialog = AwaitDialog(kBackupCaption);
      ASSERT_NE(dialog, nullptr);
      seen.text = ItemText(dialog, IDC_PROGRESS_TEXT);
      seen.style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
      seen.foreground = ui::WaitForForeground(dialog, kPatience);
      seen.dialogOpen = ProgressDialogOpen;
      seen.current = CurrentJob;
      seen.ownerEnabled = IsWindowEnabled(owner_);
      ui::SendKey(VK_RETURN);
      ui::SendKey(VK_ESCAPE);
      Sleep(static_cast<DWORD>(2500));  // two ticks and more, in device time
      seen.openAfterKeys = IsWindow(dialog) && IsWindowVisible(dialog);
      SetEvent(HeldWorker::release);
    });
    result = RunJob(job, owner_, IDD_BACKUP_PROGRESS, IDS_BACKUP_TITLE, IDS_BACKUP_PROGRESS, 0, HeldWorker::Run);
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(seen.text, AppString(IDS_BACKUP_PROGRESS));
  EXPECT_TRUE(seen.style & WS_SYSMENU) << "the backup's box has a close box";
  EXPECT_TRUE(seen.foreground);
  EXPECT_TRUE(seen.openAfterKeys) << "Enter or Escape ended the progress dialog";
  EXPECT_EQ(seen.dialogOpen, 1);
  EXPECT_EQ(seen.current, &job);
  EXPECT_FALSE(seen.ownerEnabled);
  EXPECT_EQ(job.ExitCode, 1u);
  EXPECT_EQ(job.Thread, nullptr) << "the dialog closes the worker's handle";
  EXPECT_EQ(ProgressDialogOpen, 0);
  EXPECT_EQ(CurrentJob, nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_TRUE(boxes_.Take().empty()) << "RunJob itself shows no result";
  // Each tick sent the key event that keeps the device awake.
  std::vector<std::string> keys = Journal("key");
  EXPECT_GE(std::count(keys.begin(), keys.end(), "up vk 0x0 scan 0x0"), 2);
}

TEST_F(JobDialogTest, HelpFromTheProgressDialogOpensTheHelpViewer) {
  InstallHelpViewer();
  MRestoreJob job;
  {
    Person person([&] {
      HWND dialog = AwaitDialog(kRestoreCaption);
      ASSERT_NE(dialog, nullptr);
      SendMessageW(dialog, WM_HELP, 0, 0);
      SetEvent(HeldWorker::release);
    });
    RunJob(job, owner_, IDD_RESTORE_PROGRESS, IDS_RESTORE_TITLE, IDS_RESTORE_PROGRESS, 0, HeldWorker::Run);
  }
  EXPECT_EQ(HelpShown(), (std::vector<std::string>{"help shown: file:Tolvane.htm#Main_Contents"}));
}

TEST_F(JobDialogTest, TheRestoreProgressDialogHasNoCloseBox) {
  MRestoreJob job;
  DWORD style = 0;
  std::u16string text;
  {
    Person person([&] {
      HWND dialog = AwaitDialog(kRestoreCaption);
      ASSERT_NE(dialog, nullptr);
      style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
      text = ItemText(dialog, IDC_PROGRESS_TEXT);
      SetEvent(HeldWorker::release);
    });
    EXPECT_EQ(RunJob(job, owner_, IDD_RESTORE_PROGRESS, IDS_RESTORE_TITLE, IDS_RESTORE_PROGRESS, 0, HeldWorker::Run),
              0);
  }
  EXPECT_FALSE(style & WS_SYSMENU);
  EXPECT_EQ(text, AppString(IDS_RESTORE_PROGRESS));
}

TEST_F(JobDialogTest, AWorkerThatCannotStartIsStartedAgainAtTheNextTicks) {
  ASSERT_TRUE(cedev::AddFault("thread.create", u"thread", ERROR_OUTOFMEMORY, 2));
  SetEvent(HeldWorker::release);
  MBackupJob job;
  EXPECT_EQ(RunJob(job, owner_, IDD_BACKUP_PROGRESS, IDS_BACKUP_TITLE, IDS_BACKUP_PROGRESS, 0, HeldWorker::Run), 0);
  EXPECT_EQ(job.ExitCode, 1u) << "the third try ran the worker";
  EXPECT_EQ(Journal("fault").size(), 2u);
  EXPECT_EQ(JobStatus, DWORD(STATUS_OK));
}

// A data backup with something to copy, so it meets a check point.
class DataBackupTest : public JobDialogTest {
 protected:
  void SetUp() override {
    JobDialogTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents", nullptr));
    ASSERT_TRUE(PutFile(u"\\My Documents\\notes.txt", std::string(200000, 'n')));
  }
};

TEST_F(DataBackupTest, ACardTakenOutDuringTheBackupIsAWriteFailureNeverASuccess) {
  {
    Person person([&] {
      ASSERT_NE(AwaitDialog(kBackupCaption), nullptr);
      ASSERT_TRUE(device_.device().UpdateSettings([](cedev::DeviceSettings& s) {
        std::erase_if(s.volumes, [](const cedev::VolumeSetting& v) { return v.name == "FlashDisk"; });
      }));
    });
    MBackupJob job;
    RunBackupJob(job, owner_, FALSE);
  }
  EXPECT_EQ(JobStatus, DWORD(STATUS_WRITE_FAILED));
  ExpectFailureBox(IDS_BACKUP_WRITE_FAILED);
}

TEST_F(DataBackupTest, FaultsOnEitherSideOfTheJobShowTheirOwnTexts) {
  // A file that cannot be read: the backup's source failed.
  ASSERT_TRUE(cedev::AddFault("file.read", u"\\My Documents\\notes.txt", ERROR_READ_FAULT, 1));
  Automatic(AUTORUN_BACKUP, u"pw");
  EXPECT_EQ(JobStatus, DWORD(STATUS_SOURCE_READ_FAILED));
  ExpectFailureBox(IDS_BACKUP_WRITE_FAILED);

  // A full card: the archive could not be written.
  ASSERT_TRUE(cedev::AddFault("volume.full", u"\\FlashDisk\\*", ERROR_DISK_FULL));
  Automatic(AUTORUN_BACKUP, u"pw");
  EXPECT_EQ(JobStatus, DWORD(STATUS_WRITE_FAILED));
  ExpectFailureBox(IDS_BACKUP_WRITE_FAILED);
  cedev::ClearFaults();

  // A restore that cannot write a file back.
  Automatic(AUTORUN_BACKUP, u"pw");
  ASSERT_TRUE(Exists(kDataArchive));
  boxes_.Take();
  ASSERT_TRUE(cedev::AddFault("file.write", u"\\My Documents\\notes.txt", ERROR_WRITE_FAULT));
  Automatic(AUTORUN_RESTORE, u"pw");
  EXPECT_EQ(JobStatus, DWORD(STATUS_DEVICE_WRITE_FAILED));
  ExpectFailureBox(IDS_DEVICE_WRITE_FAILED);
}

// The close box only asks; the worker's question decides.
class CancelTest : public DataBackupTest {
 protected:
  // Closes the backup's progress dialog as soon as it shows.
  void BackupClosingTheProgressDialog() {
    Person person([&] {
      HWND dialog = AwaitDialog(kBackupCaption);
      ASSERT_NE(dialog, nullptr);
      EXPECT_TRUE(ui::Close(dialog));
      EXPECT_TRUE(IsWindow(dialog)) << "closing must not end the dialog";
    });
    MBackupJob job;
    RunBackupJob(job, owner_, FALSE);
  }
};

TEST_F(CancelTest, AnsweringNoLetsTheBackupFinish) {
  boxes_.AnswerNext(IDNO);
  BackupClosingTheProgressDialog();
  EXPECT_TRUE(Exists(kDataArchive));
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, AppString(IDS_CANCEL_BACKUP));
  EXPECT_TRUE(boxes[0].fromWorker);
  EXPECT_EQ(boxes[1].text.substr(0, AppString(IDS_BACKUP_DONE).size()), AppString(IDS_BACKUP_DONE));
  EXPECT_EQ(boxes[1].icon, IconText(MB_ICONINFORMATION));
}

TEST_F(CancelTest, AnsweringYesEndsTheBackupWithoutAnyMessage) {
  boxes_.AnswerNext(IDYES);
  BackupClosingTheProgressDialog();
  EXPECT_FALSE(Exists(kDataArchive));
  EXPECT_EQ(JobStatus, DWORD(STATUS_CANCELLED));
  auto boxes = boxes_.Take();
  ASSERT_EQ(boxes.size(), 1u) << "only the question";
  EXPECT_EQ(boxes[0].text, AppString(IDS_CANCEL_BACKUP));
}

// ---- Result boxes

TEST_F(JobDialogTest, ABackupThatCannotWriteAsksToDeleteAnOlderArchiveOnlyWhenThereIsOne) {
  ASSERT_TRUE(cedev::AddFault("file.create", kRegistryTemp, ERROR_DISK_FULL));
  Automatic(AUTORUN_REGISTRY_BACKUP, u"");
  EXPECT_EQ(JobStatus, DWORD(STATUS_WRITE_FAILED));
  ExpectFailureBox(IDS_BACKUP_WRITE_FAILED);

  PutOlderDataArchive();
  Automatic(AUTORUN_REGISTRY_BACKUP, u"");
  ExpectFailureBox(IDS_BACKUP_WRITE_FAILED_OLD_FILE);
}

TEST_F(JobDialogTest, ARegistryBackupReportsTheDateOfTheDataArchiveOrNoDate) {
  Automatic(AUTORUN_REGISTRY_BACKUP, u"pw");
  ExpectSuccessBox(AppString(IDS_BACKUP_DONE));

  PutOlderDataArchive();
  Automatic(AUTORUN_REGISTRY_BACKUP, u"pw");
  ExpectSuccessBox(AppString(IDS_BACKUP_DONE) + u"13/2/05 03:07 PM");
}

TEST_F(JobDialogTest, ARestoreWithTheWrongPasswordShowsStringFortyFourWithTheStopIcon) {
  Automatic(AUTORUN_REGISTRY_BACKUP, u"right");
  boxes_.Take();
  Automatic(AUTORUN_REGISTRY_RESTORE, u"wrong");
  EXPECT_EQ(JobStatus, DWORD(STATUS_BAD_PASSWORD));
  ExpectFailureBox(IDS_BAD_PASSWORD);

  Automatic(AUTORUN_REGISTRY_RESTORE, u"right");
  ExpectSuccessBox(AppString(IDS_RESTORE_DONE));
}

TEST_F(JobDialogTest, AWorkerThatFailsWithoutAReasonIsNeverReportedAsSuccess) {
  MRestoreJob job;
  ResetJobStatus(JOB_OPERATION_RESTORE);
  EXPECT_EQ(RunJob(job, owner_, IDD_RESTORE_PROGRESS, IDS_RESTORE_TITLE, IDS_RESTORE_PROGRESS, 0, SilentFailure), 0);
  ASSERT_EQ(job.ExitCode, 0u);
  ASSERT_EQ(JobStatus, DWORD(STATUS_OK));
  ShowJobResult(owner_);
  ExpectFailureBox(IDS_APPLICATION_ERROR);
  EXPECT_EQ(GetFocus(), owner_);
}

TEST_F(JobDialogTest, TheResultTableForOutcomesNoScenarioAboveReaches) {
  struct Row {
    DWORD status;
    DWORD operation;
    int expected;
  };
  const Row rows[] = {
      {STATUS_OK, JOB_OPERATION_BACKUP, IDS_BACKUP_DONE},
      {STATUS_OK, JOB_OPERATION_RESTORE, IDS_RESTORE_DONE},
      {STATUS_OK, 2, IDS_APPLICATION_ERROR},
      {STATUS_CANCELLED, JOB_OPERATION_BACKUP, -1},
      {STATUS_CANCELLED, JOB_OPERATION_RESTORE, -1},
      {STATUS_CANCELLED, 0, IDS_APPLICATION_ERROR},
      {STATUS_NO_MEMORY, JOB_OPERATION_BACKUP, IDS_BACKUP_WRITE_FAILED},
      {STATUS_NO_MEMORY, JOB_OPERATION_RESTORE, IDS_ARCHIVE_READ_FAILED},
      {STATUS_NO_MEMORY, 5, IDS_APPLICATION_ERROR},
      {STATUS_BACKUP_LOW_BATTERY, JOB_OPERATION_RESTORE, IDS_BACKUP_LOW_BATTERY},
      {STATUS_SOURCE_READ_FAILED, JOB_OPERATION_RESTORE, IDS_BACKUP_WRITE_FAILED},
      {STATUS_RESTORE_LOW_BATTERY, JOB_OPERATION_BACKUP, IDS_RESTORE_LOW_BATTERY},
      {STATUS_ARCHIVE_READ_FAILED, JOB_OPERATION_BACKUP, IDS_ARCHIVE_READ_FAILED},
      {STATUS_DEVICE_WRITE_FAILED, JOB_OPERATION_RESTORE, IDS_DEVICE_WRITE_FAILED},
      {STATUS_BAD_PASSWORD, JOB_OPERATION_BACKUP, IDS_BAD_PASSWORD},
      {STATUS_WRITE_FAILED, JOB_OPERATION_RESTORE, IDS_BACKUP_WRITE_FAILED},
      {0x3003, JOB_OPERATION_BACKUP, IDS_APPLICATION_ERROR},
      {0, JOB_OPERATION_RESTORE, IDS_APPLICATION_ERROR},
  };
  for (const Row& row : rows) {
    ResetJobStatus(row.operation);
    SetJobError(row.status);
    EXPECT_EQ(ResultMessageId(), row.expected) << std::hex << row.status << " op " << row.operation;
  }
  // Without a location nothing can be found there: the plain text.
  SetWindowLocationSource(nullptr);
  PutOlderDataArchive();
  ResetJobStatus(JOB_OPERATION_BACKUP);
  SetJobError(STATUS_WRITE_FAILED);
  EXPECT_EQ(ResultMessageId(), IDS_BACKUP_WRITE_FAILED);
  SetWindowLocationSource(LocationFlashDisk);
  EXPECT_EQ(ResultMessageId(), IDS_BACKUP_WRITE_FAILED_OLD_FILE);
}

TEST_F(JobDialogTest, ACancelledJobShowsNothingEvenInAutomaticMode) {
  ResetJobStatus(JOB_OPERATION_RESTORE);
  SetJobError(STATUS_CANCELLED);
  AutoRunCode = AUTORUN_RESTORE;
  ShowJobResult(owner_);
  AutoRunCode = AUTORUN_NONE;
  EXPECT_TRUE(boxes_.Take().empty());
}

// ---- The restore's steps around its worker

TEST_F(JobDialogTest, ADataRestoreRunsTheStepsAroundItsWorkerOnceInTheirPlaces) {
  Automatic(AUTORUN_BACKUP, u"pw");
  ASSERT_TRUE(Exists(kDataArchive));
  boxes_.Take();
  // Error 0: the calls go ahead and each one is journalled.
  ASSERT_TRUE(cedev::AddFault("file.create", kRestartMarkerFiles[0], 0));
  ASSERT_TRUE(CreateDirectoryW(u"\\FlashDisk\\Startup_Restore", nullptr));
  Automatic(AUTORUN_RESTORE, u"pw");
  ExpectSuccessBox(AppString(IDS_RESTORE_DONE));
  int markers = 0;
  for (const std::string& fault : Journal("fault")) markers += fault.find("Restart Synchronization Marker error") != std::string::npos;
  EXPECT_EQ(markers, 1) << "the success steps ran once";
  EXPECT_TRUE(Exists(kRestartMarkerFiles[0]));
  EXPECT_FALSE(Exists(u"\\FlashDisk\\Startup_Restore")) << "the pre-restore step ran";
}

TEST_F(JobDialogTest, AFailedRestoreTakesNoSuccessStep) {
  Automatic(AUTORUN_RESTORE, u"pw");  // no archive
  ExpectFailureBox(IDS_ARCHIVE_READ_FAILED);
  EXPECT_FALSE(Exists(kRestartMarkerFiles[0]));
}

}  // namespace
}  // namespace app_test
