#include "journal.h"

#include <chrono>

#include "device_folder.h"
#include "host_process.h"

namespace cedev {

bool JournalAppend(std::string_view kind, std::string_view text) {
  Device* dev = Device::Current();
  if (!dev) return false;
  auto now = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch());
  auto stmt = dev->Db().Cached("INSERT INTO journal(time_ms, pid, kind, text) VALUES(?,?,?,?)");
  return stmt->Bind(1, static_cast<int64_t>(now.count())).Bind(2, static_cast<int64_t>(host::ProcessId())).Bind(3, kind).Bind(4, text).Run();
}

std::vector<JournalEntry> JournalRead(int64_t after_seq) {
  std::vector<JournalEntry> out;
  Device* dev = Device::Current();
  if (!dev) return out;
  auto stmt = dev->Db().Cached("SELECT seq, time_ms, pid, kind, text FROM journal WHERE seq > ? ORDER BY seq");
  stmt->Bind(1, after_seq);
  while (stmt->Step()) {
    out.push_back({stmt->Int(0), stmt->Int(1), static_cast<int>(stmt->Int(2)), stmt->Text(3), stmt->Text(4)});
  }
  return out;
}

}  // namespace cedev
