// Device programs as processes: CreateProcessW on device executables, exit
// codes, waits with limits, termination, OpenProcess, named mutexes shared
// across programs, ending every program, and the journal of starts and ends.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ce/handle.h"
#include "ce/process.h"
#include "ce/stdlib.h"
#include "api_expect.h"
#include "device_programs.h"
#include "journal.h"
#include "process_table.h"
#include "scratch_device.h"
#include "wstr.h"

namespace {

namespace fs = std::filesystem;

class Processes : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(device_.dir() / "store" / "Windows");
    fs::create_directories(device_.dir() / "volumes" / "FlashDisk" / "CE" / "ARM");
    std::ofstream(device_.dir() / "store" / "Windows" / "testprog.exe") << "#!cedev-program ce_test_program\n";
    std::ofstream(device_.dir() / "volumes" / "FlashDisk" / "CE" / "ARM" / "Restore.exe")
        << "#!cedev-program ce_test_program\nmore lines are ignored\n";
  }

  HANDLE Start(const std::u16string& cmdline, const char16_t* image = u"\\Windows\\testprog.exe") {
    PROCESS_INFORMATION pi{};
    EXPECT_TRUE(CreateProcessW(image, cmdline.c_str(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi))
        << GetLastError();
    if (pi.hThread) CloseHandle(pi.hThread);
    return pi.hProcess;
  }

  DWORD RunToEnd(const std::u16string& cmdline) {
    HANDLE process = Start(cmdline);
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 0xDEAD;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    CloseHandle(process);
    return code;
  }

  std::string Scratch(const char* name) { return (device_.dir() / name).string(); }

  static bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 1000 && !fs::exists(path); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
  }

  std::vector<std::string> Journal(const std::string& kind) {
    std::vector<std::string> out;
    for (auto& e : cedev::JournalRead()) {
      if (e.kind == kind) out.push_back(e.text);
    }
    return out;
  }

  cedev::ScratchDevice device_;
};

// The runtime generator of the device: the same sequence in every new
// program unless it seeds it, values below 0x8000, one state for all threads.
TEST_F(Processes, TheRuntimeGeneratorIsUnseededInEveryProgram) {
  const int kFromSeedOne[] = {41, 18467, 6334, 26500, 19169};
  srand(1);
  for (int expected : kFromSeedOne) EXPECT_EQ(rand(), expected);
  DWORD fresh = (41u << 16) | 18467u;
  EXPECT_EQ(RunToEnd(u"rand"), fresh) << "a new program starts unseeded";
  EXPECT_EQ(RunToEnd(u"rand"), fresh);
  srand(12345);
  int seeded = rand();
  srand(12345);
  std::thread other([&] { EXPECT_EQ(rand(), seeded) << "one generator for the whole process"; });
  other.join();
  EXPECT_NE(rand(), seeded);
  for (int i = 0; i < 1000; ++i) {
    int value = rand();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, CE_RAND_MAX);
  }
}

TEST_F(Processes, AWaitedForProgramReportsItsExitCode) {
  EXPECT_EQ(RunToEnd(u"exit 42"), 42u);
  EXPECT_EQ(RunToEnd(u"exit 0"), 0u);
  // The full 32-bit code travels through the process table, not the host's exit status.
  EXPECT_EQ(RunToEnd(u"exit 70000"), 70000u);
  EXPECT_EQ(RunToEnd(u"exitprocess 1234"), 1234u);
}

// Bytes a program wrote but never closed reach the file however it ends.
TEST_F(Processes, WritesOfAProgramThatNeverClosesItsFileAreKept) {
  for (const char16_t* how : {u"return", u"exitprocess"}) {
    std::u16string cmd = std::u16string(u"scribble \\FlashDisk\\left.txt 5000 ") + how;
    EXPECT_EQ(RunToEnd(cmd), 7u);
    std::ifstream in(device_.dir() / "volumes" / "FlashDisk" / "left.txt", std::ios::binary);
    std::string got(std::istreambuf_iterator<char>(in), {});
    ASSERT_EQ(got.size(), 5000u) << cedev::ToUtf8(how);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], static_cast<char>('a' + i % 26)) << i;
  }
}

TEST_F(Processes, ExitThreadOnThePrimaryThreadEndsTheProgram) { EXPECT_EQ(RunToEnd(u"exitthread 31"), 31u); }

TEST_F(Processes, ProgramsStartedByOthersCanBeOpenedAndWaitedFor) {
  std::string pid_file = Scratch("grandchild.pid");
  HANDLE middle = Start(u"spawn " + std::u16string(pid_file.begin(), pid_file.end()) + u" sleep 400 21");
  ASSERT_TRUE(WaitForFile(pid_file));
  DWORD pid = 0;
  std::ifstream(pid_file) >> pid;
  HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid);
  ASSERT_NE(opened, nullptr) << GetLastError();
  EXPECT_EQ(WaitForSingleObject(opened, 10), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(opened, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 21u);
  EXPECT_EQ(WaitForSingleObject(middle, 20000), WAIT_OBJECT_0);
  CloseHandle(opened);
  CloseHandle(middle);
}

TEST_F(Processes, CreateProcessFillsTheProcessInformation) {
  PROCESS_INFORMATION pi;
  pi.hProcess = pi.hThread = INVALID_HANDLE_VALUE;
  pi.dwProcessId = pi.dwThreadId = 0xDEAD;
  ASSERT_TRUE(CreateProcessW(u"\\Windows\\testprog.exe", u"exit 3", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr,
                             &pi));
  EXPECT_NE(pi.hProcess, INVALID_HANDLE_VALUE);
  EXPECT_NE(pi.hThread, INVALID_HANDLE_VALUE);
  EXPECT_NE(pi.hProcess, pi.hThread);
  EXPECT_NE(pi.dwProcessId, 0xDEADu);
  EXPECT_NE(pi.dwProcessId, GetCurrentProcessId());
  EXPECT_EQ(WaitForSingleObject(pi.hThread, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
  EXPECT_EQ(code, 3u);
  code = 0;
  EXPECT_TRUE(GetExitCodeThread(pi.hThread, &code));
  EXPECT_EQ(code, 3u);
  EXPECT_TRUE(CloseHandle(pi.hThread));
  EXPECT_TRUE(CloseHandle(pi.hProcess));
}

TEST_F(Processes, TheProgramSeesItsDevicePathAndArgumentsOnly) {
  std::string out = Scratch("who.txt");
  ASSERT_EQ(RunToEnd(u"whoami " + std::u16string(out.begin(), out.end())), 0u);
  std::ifstream in(out);
  std::string module, cmdline;
  std::getline(in, module);
  std::getline(in, cmdline);
  EXPECT_EQ(module, "\\Windows\\testprog.exe");
  EXPECT_EQ(cmdline, "whoami " + out);
}

TEST_F(Processes, ExecutablesOnVolumesAndBareNamesAreFound) {
  HANDLE process = Start(u"exit 5", u"\\flashdisk\\ce\\arm\\RESTORE.EXE");
  ASSERT_NE(process, nullptr);
  ASSERT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 5u);
  CloseHandle(process);
  process = Start(u"exit 6", u"testprog.exe");
  ASSERT_NE(process, nullptr);
  ASSERT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 6u);
  CloseHandle(process);
}

TEST_F(Processes, MissingAndMalformedExecutablesAreRefused) {
  std::ofstream(device_.dir() / "store" / "Windows" / "notes.exe") << "just text\n";
  std::ofstream(device_.dir() / "store" / "Windows" / "ghost.exe") << "#!cedev-program no_such_binary_here\n";
  struct Case {
    const char16_t* image;
    DWORD error;
  } cases[] = {{u"\\Windows\\missing.exe", ERROR_FILE_NOT_FOUND},
               {u"\\Nowhere\\missing.exe", ERROR_PATH_NOT_FOUND},
               {u"\\Windows\\notes.exe", ERROR_BAD_EXE_FORMAT},
               {u"\\Windows\\ghost.exe", ERROR_FILE_NOT_FOUND}};
  for (const auto& c : cases) {
    PROCESS_INFORMATION pi;
    pi.hProcess = pi.hThread = INVALID_HANDLE_VALUE;
    SetLastError(cedev::kSentinel);
    EXPECT_FALSE(CreateProcessW(c.image, u"", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), c.error) << std::string(c.image, c.image + std::char_traits<char16_t>::length(c.image));
    EXPECT_EQ(pi.hProcess, INVALID_HANDLE_VALUE);
  }
}

TEST_F(Processes, ArgumentsTheDeviceDoesNotTakeAreRefused) {
  SECURITY_ATTRIBUTES sa{};
  STARTUPINFOW si{};
  WCHAR dir[] = u"\\";
  PROCESS_INFORMATION pi{};
  EXPECT_FAILS_WITH(CreateProcessW(nullptr, u"x", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateProcessW(u"testprog.exe", u"x", &sa, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateProcessW(u"testprog.exe", u"x", nullptr, nullptr, FALSE, 0, nullptr, dir, nullptr, &pi), FALSE, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(CreateProcessW(u"testprog.exe", u"x", nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi), FALSE, ERROR_INVALID_PARAMETER);
}

TEST_F(Processes, WaitsHonourTheirLimitAndTerminationSetsTheCode) {
  HANDLE process = Start(u"sleep 60000");
  ASSERT_NE(process, nullptr);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForSingleObject(process, 100), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(90));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_TRUE(TerminateProcess(process, 9));
  EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(process, &code));
  EXPECT_EQ(code, 9u);
  // Already ended.
  EXPECT_FAILS_WITH(TerminateProcess(process, 10), FALSE, ERROR_ACCESS_DENIED);
  CloseHandle(process);
}

TEST_F(Processes, OpenProcessReachesRunningDevicePrograms) {
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(u"testprog.exe", u"sleep 300 17", nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
  HANDLE opened = OpenProcess(PROCESS_ALL_ACCESS, FALSE, pi.dwProcessId);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(WaitForSingleObject(opened, 20000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(opened, &code));
  EXPECT_EQ(code, 17u);
  CloseHandle(opened);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  // Ended programs and host processes that are not device programs cannot be opened.
  EXPECT_FAILS_WITH(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pi.dwProcessId), nullptr, ERROR_INVALID_PARAMETER);
  EXPECT_FAILS_WITH(OpenProcess(PROCESS_ALL_ACCESS, FALSE, static_cast<DWORD>(getppid())), nullptr, ERROR_INVALID_PARAMETER);
}

TEST_F(Processes, BadProcessHandles) {
  DWORD code = 0xBEEF;
  EXPECT_FAILS_WITH(GetExitCodeProcess(nullptr, &code), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_EQ(code, 0xBEEFu);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A handle of another kind.
  EXPECT_FAILS_WITH(GetExitCodeProcess(event, &code), FALSE, ERROR_INVALID_HANDLE);
  EXPECT_FAILS_WITH(TerminateProcess(event, 1), FALSE, ERROR_INVALID_HANDLE);
  CloseHandle(event);
  EXPECT_TRUE(GetExitCodeProcess(GetCurrentProcess(), &code));
  EXPECT_EQ(code, STILL_ACTIVE);
}

TEST_F(Processes, NamedMutexIsSharedAndReleasedWhenItsHolderIsKilled) {
  std::string ready = Scratch("held");
  HANDLE holder = Start(u"hold Restore " + std::u16string(ready.begin(), ready.end()));
  ASSERT_TRUE(WaitForFile(ready));

  SetLastError(0xDEAD);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, u"restore");  // names ignore case
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(WaitForSingleObject(mutex, 50), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(RunToEnd(u"try Restore"), static_cast<DWORD>(WAIT_TIMEOUT));

  ASSERT_TRUE(TerminateProcess(holder, 1));
  // The holder died owning it: the next owner is told so.
  EXPECT_EQ(WaitForSingleObject(mutex, 5000), WAIT_ABANDONED);
  EXPECT_EQ(RunToEnd(u"try Restore"), static_cast<DWORD>(WAIT_TIMEOUT));  // now we hold it
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(RunToEnd(u"try Restore"), WAIT_OBJECT_0);  // released cleanly by its last owner
  // That program ended without releasing it: abandoned again.
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
  EXPECT_TRUE(ReleaseMutex(mutex));
  EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
  CloseHandle(holder);
}

TEST_F(Processes, ANewNamedMutexDoesNotReportAnExistingOne) {
  SetLastError(0xDEAD);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, u"FreshName");
  ASSERT_NE(mutex, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(RunToEnd(u"try freshname"), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(ReleaseMutex(mutex));
  CloseHandle(mutex);
  // Closed everywhere: the name is free again.
  SetLastError(0xDEAD);
  mutex = CreateMutexW(nullptr, FALSE, u"FreshName");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  CloseHandle(mutex);
}

TEST_F(Processes, StartsAndEndsAreJournalled) {
  ASSERT_EQ(RunToEnd(u"exit 8"), 8u);
  auto entries = Journal("process");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].rfind("start \\Windows\\testprog.exe pid ", 0), 0u) << entries[0];
  EXPECT_NE(entries[0].find("args exit 8"), std::string::npos);
  EXPECT_EQ(entries[1].rfind("end \\Windows\\testprog.exe pid ", 0), 0u) << entries[1];
  EXPECT_NE(entries[1].find("exit 8"), std::string::npos);
}

TEST_F(Processes, EndAllDeviceProgramsKillsEveryRunningProgram) {
  HANDLE a = Start(u"sleep 60000");
  HANDLE b = Start(u"sleep 60000");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(cedev::EndAllDevicePrograms(), 2);
  EXPECT_EQ(WaitForSingleObject(a, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(b, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(a, &code));
  EXPECT_EQ(code, cedev::kKilledExitCode);
  EXPECT_TRUE(cedev::RunningPrograms(&device_.device()).empty());
  CloseHandle(a);
  CloseHandle(b);
}

TEST_F(Processes, SoftResetEndsEveryProgramAndBoots) {
  HANDLE sleeper = Start(u"sleep 60000");
  HANDLE resetter = Start(u"reset");
  EXPECT_EQ(WaitForSingleObject(resetter, 20000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sleeper, 5000), WAIT_OBJECT_0);
  auto resets = Journal("reset");
  ASSERT_EQ(resets.size(), 1u);
  EXPECT_EQ(resets[0], "soft reset by \\Windows\\testprog.exe");
  EXPECT_EQ(Journal("boot"), (std::vector<std::string>{"after soft reset"}));
  // The boot started the autostart program of the volume after the others had ended.
  bool booted = false;
  for (const auto& e : Journal("process")) booted |= e.rfind("start \\FlashDisk\\CE\\ARM\\Restore.exe", 0) == 0;
  EXPECT_TRUE(booted);
  CloseHandle(sleeper);
  CloseHandle(resetter);
}

TEST_F(Processes, ProgramsLoadTheEepromLibraryWhenTheDeviceHasOne) {
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) {
    s.has_eeprom = true;
    s.eeprom = {0x5A, 1, 2, 3};
  });
  EXPECT_EQ(RunToEnd(u"eeprom"), 0x5Au);
  device_.device().UpdateSettings([](cedev::DeviceSettings& s) { s.has_eeprom = false; });
  EXPECT_EQ(RunToEnd(u"eeprom"), 1000u + ERROR_MOD_NOT_FOUND);
}

TEST(DeviceExecutables, ContentNamesTheHostProgram) {
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program tolvane\n"), "tolvane");
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program restore\r\nignored"), "restore");
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program spfinish"), "spfinish");
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program \n"), "");
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program ../evil\n"), "");
  EXPECT_EQ(cedev::ProgramNameOf("#!cedev-program a b\n"), "");
  EXPECT_EQ(cedev::ProgramNameOf("MZ\x90\x00"), "");
  EXPECT_EQ(cedev::ProgramNameOf(""), "");
}

}  // namespace

namespace cedev {
namespace {

// The table keeps every running program and the newest ended ones, however
// many programs the device has run.
TEST(ProcessTable, EndedProgramsArePrunedButTheNewestAndTheRunningStay) {
  ScratchDevice device;
  Device* dev = Device::Current();
  ProcessKey running{900000, 1};
  ASSERT_TRUE(RecordStart(dev, {running, u"\\Windows\\stays.exe", u"", std::nullopt}));
  for (int i = 0; i < 600; ++i) {
    ProcessKey key{100000 + i, 2};
    ASSERT_TRUE(RecordStart(dev, {key, u"\\Windows\\short.exe", u"", std::nullopt}));
    ASSERT_TRUE(RecordExit(dev, key, DWORD(i)));
  }
  ProcessKey last{100000 + 599, 2};
  ASSERT_TRUE(RecordStart(dev, {{700000, 3}, u"\\Windows\\next.exe", u"", std::nullopt}));

  auto count = dev->Db().Cached("SELECT count(*) FROM processes");
  ASSERT_TRUE(count->Step());
  EXPECT_LE(count->Int(0), 300);
  EXPECT_TRUE(FindProcess(dev, running)) << "a program that has not ended is never pruned";
  auto newest = FindProcess(dev, last);
  ASSERT_TRUE(newest);
  EXPECT_EQ(newest->exit_code, std::optional<DWORD>(599));
  EXPECT_FALSE(FindProcess(dev, ProcessKey{100000, 2})) << "the oldest ended program is gone";
}

}  // namespace
}  // namespace cedev
