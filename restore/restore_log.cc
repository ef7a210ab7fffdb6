#include "restore_log.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tool_paths.h"

namespace {

// Only the head of the log takes part in the rotation; what lies past it is
// dropped from a rewritten log.
constexpr DWORD kRotationWindow = 6001;
constexpr int kSectionsBeforeTrim = 30;
constexpr int kSectionsKept = 29;
constexpr char kSectionMark = '>';

const WCHAR kLogName[] = TEXT("Restore.log");
const WCHAR kSpareName[] = TEXT("Restore.bak");

struct LogPaths {
  WCHAR folder[kToolPathUnits];
  WCHAR log[kToolPathUnits];
  WCHAR spare[kToolPathUnits];
};

void FormatLogPaths(LPCWSTR storage, LogPaths* paths) {
  FormatArmFolder(paths->folder, storage);
  FormatArmPath(paths->log, storage, kLogName);
  wsprintfW(paths->spare, TEXT("%s\\%s"), paths->folder, kSpareName);
}

// Reads the head of the log (creating an empty log when there is none) into
// `head`, which has room for the window and a terminator. Returns the bytes
// read, or -1 when the log cannot be opened or read.
int ReadLogHead(LPCWSTR logPath, char* head) {
  HANDLE file = CreateFileW(logPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  std::memset(head, 0, kRotationWindow + 1);
  DWORD got = 0;
  BOOL ok = ReadFile(file, head, kRotationWindow, &got, nullptr);
  CloseHandle(file);
  return ok ? static_cast<int>(got) : -1;
}

// Where the kept text starts: the header of the 29th section from the end,
// or null when the head holds fewer than 30 headers.
const char* KeptSections(const char* head, int length) {
  int marks = 0;
  for (int i = 0; i < length; ++i) marks += head[i] == kSectionMark;
  if (marks < kSectionsBeforeTrim) return nullptr;
  int wanted = marks - kSectionsKept + 1;
  for (int i = 0, seen = 0; i < length; ++i) {
    if (head[i] == kSectionMark && ++seen == wanted) return head + i;
  }
  return nullptr;
}

BOOL WriteWholly(HANDLE file, const char* text, DWORD bytes) {
  DWORD written = 0;
  return WriteFile(file, text, bytes, &written, nullptr) && written == bytes;
}

// Writes the kept text as the new log, the old one waiting as the spare.
// On failure the spare goes back in place of whatever the rewrite left.
BOOL RewriteLog(const LogPaths& paths, const char* kept, DWORD bytes) {
  DeleteFileW(paths.spare);  // a spare left by an earlier run is older than the log
  if (!MoveFileW(paths.log, paths.spare)) return FALSE;
  HANDLE file = CreateFileW(paths.log, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  BOOL written = file != INVALID_HANDLE_VALUE && WriteWholly(file, kept, bytes);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (written) {
    DeleteFileW(paths.spare);
    return TRUE;
  }
  DeleteFileW(paths.log);
  MoveFileW(paths.spare, paths.log);
  return FALSE;
}

}  // namespace

void FormatStampedLine(char* line, const char* message, const SYSTEMTIME& time) {
  std::snprintf(line, kStampedLineBytes, "%s %d/%.2d/%.2d %.2d:%.2d\r\n", message, time.wYear, time.wMonth, time.wDay,
                time.wHour, time.wMinute);
}

void AppendLogText(LPCWSTR logPath, const char* text) {
  HANDLE file = CreateFileW(logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

void AppendStampedLine(LPCWSTR logPath, const char* message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char line[kStampedLineBytes];
  FormatStampedLine(line, message, now);
  AppendLogText(logPath, line);
}

BOOL RotateLog(LPCWSTR storage) {
  LogPaths paths;
  FormatLogPaths(storage, &paths);
  CreateFolderChain(paths.folder);
  char head[kRotationWindow + 1];
  int length = ReadLogHead(paths.log, head);
  if (length < 0) return FALSE;
  const char* kept = KeptSections(head, length);
  if (!kept) return TRUE;
  return RewriteLog(paths, kept, static_cast<DWORD>(std::strlen(kept)));
}
