#include "job_cause.h"

#include <vector>

#include "archive_format.h"
#include "error_names.h"
#include "header.h"
#include "job_status.h"
#include "jobs.h"
#include "journal.h"
#include "wstr.h"

namespace cedev::tool {
namespace {

// A fault entry reads "OP TARGET error N".
struct FiredFault {
  std::string op, target;
  unsigned long error = 0;
};

bool ParseFault(const std::string& text, FiredFault* fault) {
  size_t op_end = text.find(' ');
  size_t error_at = text.rfind(" error ");
  if (op_end == std::string::npos || error_at == std::string::npos || error_at < op_end) return false;
  fault->op = text.substr(0, op_end);
  fault->target = text.substr(op_end + 1, error_at - op_end - 1);
  fault->error = std::strtoul(text.c_str() + error_at + 7, nullptr, 10);
  return true;
}

// The text of a message box entry: caption "..." text "..." flags N.
std::string MessageBoxText(const std::string& entry) {
  size_t at = entry.find(" text \"");
  if (at == std::string::npos) return "";
  std::string text;
  for (size_t i = at + 7; i < entry.size() && entry[i] != '"'; ++i) {
    if (entry[i] == '\\' && i + 1 < entry.size()) ++i;
    text += entry[i];
  }
  return text;
}

std::string FaultCause(const FiredFault& f) {
  if (f.op == "volume.full") return "the volume is full: writing " + f.target + " failed (an injected fault)";
  return f.target + ": " + f.op + " failed with " + ErrorText(f.error) + " (an injected fault)";
}

std::u16string ArchivePath(const JobOutcome& o) {
  std::u16string path = o.location;
  if (path.empty() || path[0] != u'\\') path.insert(path.begin(), u'\\');
  return path + (o.registry_only ? u"\\Backup\\Registory.dat" : u"\\Backup\\Backup.dat");
}

// Reads the archive's header through the device, as the restore does.
bool ReadArchiveHeader(const std::u16string& path, archive::Header* header) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::vector<uint8_t> bytes(archive::kNodeStreamOffset);
  DWORD got = 0;
  bool read = ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(h);
  return read && archive::DecodeHeader(bytes.data(), got, header).ok();
}

std::string DevicePlatform() {
  BYTE name[archive::kPlatformNameBytes];
  if (!ReadDevicePlatformName(name)) return "(none)";
  archive::Header mine;
  std::copy(std::begin(name), std::end(name), mine.platformName);
  return ToUtf8(mine.PlatformName());
}

// What is wrong with the archive a restore could not use.
std::string ArchiveCause(const JobOutcome& o) {
  std::u16string path = ArchivePath(o);
  std::string shown = ToUtf8(path);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return "no archive at " + shown + " (" + ErrorText(GetLastError()) + ")";
  }
  if (o.last_error == ERROR_SHARING_VIOLATION) {
    return "another program holds " + shown + " open (" + ErrorText(o.last_error) + ")";
  }
  archive::Header header;
  if (!ReadArchiveHeader(path, &header)) return shown + " is not an archive this program can read";
  if (!PlatformAccepted(header.platformName)) {
    return shown + " belongs to the platform \"" + ToUtf8(header.PlatformName()) + "\", this device is \"" +
           DevicePlatform() + "\"";
  }
  if (o.status == STATUS_BAD_PASSWORD) return "the password does not open " + shown;
  return shown + " is damaged: it could not be read to its end";
}

// The device call the job stopped on, by its error.
std::string CallCause(const JobOutcome& o, const std::string& what) {
  switch (o.last_error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "the volume is full (" + ErrorText(o.last_error) + ")";
    case ERROR_SHARING_VIOLATION:
      return "another program holds the file open (" + ErrorText(o.last_error) + ")";
    case ERROR_SUCCESS:
      return what;
    default:
      return what + ": " + ErrorText(o.last_error);
  }
}

}  // namespace

int64_t JournalMark() {
  std::vector<JournalEntry> all = JournalRead(0);
  return all.empty() ? 0 : all.back().seq;
}

std::string JobCause(const JobOutcome& o) {
  if (o.status == STATUS_OK) return "";
  std::string shown_path;
  for (const JournalEntry& e : JournalRead(o.journal_mark)) {
    FiredFault fault;
    if (e.kind == "fault" && ParseFault(e.text, &fault) && fault.error != 0) return FaultCause(fault);
    if (e.kind == "msgbox" && shown_path.empty()) {
      std::string text = MessageBoxText(e.text);
      if (!text.empty() && text[0] == '\\') shown_path = text;
    }
  }
  switch (o.status) {
    case STATUS_ARCHIVE_READ_FAILED:
    case STATUS_BAD_PASSWORD:
      return ArchiveCause(o);
    case STATUS_SOURCE_READ_FAILED:
      return CallCause(o, (shown_path.empty() ? std::string("a file") : shown_path) + " could not be read");
    case STATUS_WRITE_FAILED:
      return CallCause(o, "the archive could not be written to " + ToUtf8(ArchivePath(o)));
    case STATUS_DEVICE_WRITE_FAILED:
      return CallCause(o, (shown_path.empty() ? std::string("the device") : shown_path) + " could not be written");
    case STATUS_BACKUP_LOW_BATTERY:
    case STATUS_RESTORE_LOW_BATTERY:
      return "the battery is too low for the job";
    case STATUS_CANCELLED:
      return "the job was cancelled at its question";
    case STATUS_NO_MEMORY:
      return "the device ran out of memory";
    default:
      return CallCause(o, "the job failed");
  }
}

}  // namespace cedev::tool
