#include "exclusion_rules.h"

#include <windows.h>

#include "device_paths.h"
#include "jobs.h"
#include "wide_text.h"

namespace {

// Every row is tested; their order does not change the outcome.
const MExclusionRule kRules[] = {
    {TEXT("\\*.*"), TEXT("mxip_notify.vol")},
    {TEXT("\\*.*"), TEXT("mxip_system.vol")},
    {TEXT("\\*.*"), TEXT("mxip_lang.vol")},
    {TEXT("\\*.*"), TEXT("cemail.vol")},
    {TEXT("\\*.*"), TEXT("pim.vol")},
    {TEXT("\\*.*"), TEXT("mxip_initdb.vol")},
    {TEXT("\\*.*"), TEXT("mxip_swmgmt.vol")},
    {TEXT("\\*.*"), TEXT("WindowsLiveLog.bin")},
    {TEXT("\\Windows\\*.*"), TEXT("compimeh.0409.dat")},
    {TEXT("\\Windows\\*.*"), TEXT("compimeh.0407.dat")},
    {TEXT("\\Windows\\*.*"), TEXT("Voiplog.txt")},
    {TEXT("\\Windows\\*.*"), TEXT("SS_Log.log")},
    {TEXT("\\Windows\\*.*"), TEXT("njuserl.a")},
    {TEXT("\\Windows\\*.*"), TEXT("njuserw.a")},
    {TEXT("\\Windows\\*.*"), TEXT("njubase1_ext.a")},
    {TEXT("\\Windows\\*.*"), TEXT("njubase2_ext.a")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31.dll")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31c.dll")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31dx.exe")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31k.dll")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31m.exe")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31s.dic")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31s.grm")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31u.dll")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31u.dic")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31ux.exe")},
    {TEXT("\\Windows\\*.*"), TEXT("Imjp31lm.dat")},
    {TEXT("\\Windows\\*.*"), TEXT("custom.dic")},
    {TEXT("\\Windows\\*.*"), TEXT("mssp2.lex")},
    {TEXT("\\Windows\\*.*"), TEXT("cespell.dll")},
    {TEXT("\\Windows\\*.*"), TEXT("ApplicationLog.xml")},
    {TEXT("\\Windows\\*.*"), TEXT("SystemLog.xml")},
    {TEXT("\\Windows\\*.*"), TEXT("ReplStoreVol")},
    {TEXT("\\Windows\\www\\*.*"), TEXT("current-httpd.log")},
    {TEXT("\\Windows\\Activesync\\*.*"), TEXT("GCounterFile.mmf")},
    {TEXT("\\Windows\\System\\SQM\\Sessions\\*.*"), TEXT("Global")},
    {TEXT("\\Windows\\System\\SQM\\Sessions\\*.*"), TEXT("PMWeek")},
    {TEXT("\\Windows\\System\\SQM\\Sessions\\*.*"), TEXT("BiWeekly")},
    {TEXT("\\Windows\\Profiles\\guest\\Temporary Internet Files\\Content.IE5\\*.*"), TEXT("index.dat")},
    {TEXT("\\Windows\\Profiles\\guest\\Cookies\\*.*"), TEXT("index.dat")},
    {TEXT("\\Windows\\Profiles\\guest\\History\\History.IE5\\*.*"), TEXT("index.dat")},
    {TEXT("\\Windows\\Temp\\Internet Explorer\\*.*"), nullptr},
    {TEXT("\\Documents and Settings\\*.*"), TEXT("system.hv")},
    {TEXT("\\Documents and Settings\\*.*"), TEXT("default.hv")},
    {TEXT("\\Documents and Settings\\*.*"), TEXT("default.vol")},
    {TEXT("\\Documents and Settings\\default\\*.*"), TEXT("user.hv")},
    {TEXT("\\Documents and Settings\\default\\*.*"), TEXT("recycle.bin")},
    {TEXT("\\Documents and Settings\\default\\Recycled\\*.*"), nullptr},
    {TEXT("\\Application Data\\Windows Live\\*.*"), TEXT("WindowsLive.vol")},
    {TEXT("\\Application Data\\Volatile\\*.*"), nullptr},
    {TEXT("\\Application Data\\Microsoft\\My Phone\\*.*"), TEXT("Schedule.dat")},
    {TEXT("\\Application Data\\Microsoft\\Media Player\\*.*"), TEXT("xmemedialibrary.mlb")},
    {TEXT("\\Program Files\\Widgets\\*.*"), nullptr},
    {TEXT("\\Ramdisk\\*.*"), nullptr},
    {TEXT("\\SystemDisk\\*.*"), TEXT("NK.bin")},
    {TEXT("\\FlashDisk\\Backup\\*.*"), TEXT("Backup.dat")},
    {TEXT("\\FlashDisk\\Backup\\*.*"), TEXT("Backup.$$$")},
};

const MExclusionRule kRomAllowList[] = {
    {TEXT("\\Windows\\*.*"), TEXT("ModelSetup.exe")},
    {TEXT("\\Windows\\*.*"), TEXT("ModelSetup.ini")},
};

BOOL MatchesRow(const MExclusionRule& rule, LPCWSTR folderPattern, LPCWSTR name) {
  if (!WideEqualNoCase(rule.folderPattern, folderPattern)) return FALSE;
  return rule.fileName == nullptr || WideEqualNoCase(rule.fileName, name);
}

BOOL MatchesAny(const MExclusionRule* rules, DWORD count, LPCWSTR folderPattern, LPCWSTR name) {
  if (!folderPattern || !name) return FALSE;
  for (DWORD i = 0; i < count; ++i)
    if (MatchesRow(rules[i], folderPattern, name)) return TRUE;
  return FALSE;
}

// The data archive's own files, as the row of "\FlashDisk\Backup" names them.
const LPCWSTR kOwnArchiveFiles[] = {TEXT("Backup.dat"), TEXT("Backup.$$$")};

BOOL IsOwnArchiveName(LPCWSTR name) {
  for (LPCWSTR own : kOwnArchiveFiles)
    if (WideEqualNoCase(own, name)) return TRUE;
  return FALSE;
}

constexpr DWORD kPlatformUnits = 128;
constexpr DWORD kPlatformOfferedBytes = 100;

}  // namespace

const MExclusionRule* ExclusionRules(DWORD* count) {
  *count = sizeof kRules / sizeof kRules[0];
  return kRules;
}

const MExclusionRule* RomAllowList(DWORD* count) {
  *count = sizeof kRomAllowList / sizeof kRomAllowList[0];
  return kRomAllowList;
}

BOOL IsExcludedFile(LPCWSTR folderPattern, LPCWSTR name) {
  DWORD count = 0;
  const MExclusionRule* rules = ExclusionRules(&count);
  return MatchesAny(rules, count, folderPattern, name);
}

BOOL IsRomFileSaved(LPCWSTR folderPattern, LPCWSTR name) {
  DWORD count = 0;
  const MExclusionRule* allowed = RomAllowList(&count);
  return MatchesAny(allowed, count, folderPattern, name) && IsTovakPlatform();
}

BOOL IsMountedStorage(LPCWSTR folderPath) {
  if (!folderPath || folderPath[0] != u'\\') return FALSE;
  LPCWSTR name = folderPath + 1;
  // Entry names hold no backslash, so only a folder directly below the root
  // can be mounted storage; deeper folders need no lookup.
  if (!*name) return FALSE;
  for (LPCWSTR p = name; *p; ++p)
    if (*p == u'\\' || *p == u'*' || *p == u'?') return FALSE;
  // The root entry of that name, looked up afresh on every call. Asking for
  // the one entry finds what a walk of the whole root would find (names are
  // compared without case on both ways) at a cost that does not grow with
  // the number of folders in the root.
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(folderPath, &entry);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  FindClose(find);
  return IsMountedAttributes(entry.dwFileAttributes) && WideEqualNoCase(entry.cFileName, name);
}

BOOL IsTovakPlatform() {
  WCHAR platform[kPlatformUnits] = {};
  DWORD what = SPI_GETPLATFORMTYPE, returned = 0;
  if (!KernelIoControl(IOCTL_HAL_GET_DEVICE_INFO, &what, sizeof what, platform, kPlatformOfferedBytes, &returned))
    platform[0] = 0;
  platform[kPlatformUnits - 1] = 0;
  return wcscmp(platform, TEXT("Tovak")) == 0;
}

BOOL IsOwnArchiveFile(LPCWSTR folderPattern, LPCWSTR name) {
  if (!folderPattern || !name || !IsOwnArchiveName(name)) return FALSE;
  LPCWSTR location = BackupArchiveLocation();
  while (*location == u'\\') ++location;
  // The location is a folder of the root, and its archives lie in its folder "Backup".
  WCHAR archives[MAX_PATH], folder[MAX_PATH], pattern[MAX_PATH];
  if (!*location || !WideFormat1(archives, MAX_PATH, ARCHIVE_FOLDER_FORMAT, location) ||
      !JoinDevicePath(folder, TEXT("\\"), archives) || !JoinDevicePath(pattern, folder, TEXT("*.*")))
    return FALSE;
  return WideEqualNoCase(pattern, folderPattern);
}

BOOL IsEntrySaved(LPCWSTR folderPattern, LPCWSTR entryPath, LPCWSTR name, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return !IsMountedStorage(entryPath);
  if (IsInRom(attributes)) return IsRomFileSaved(folderPattern, name);
  return !IsExcludedFile(folderPattern, name) && !IsOwnArchiveFile(folderPattern, name);
}
