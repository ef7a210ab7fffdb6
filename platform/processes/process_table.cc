#include "process_table.h"

#include "device_folder.h"
#include "host_process.h"
#include "journal.h"
#include "wstr.h"

namespace cedev {

std::optional<uint64_t> StartTime(int pid) {
  auto state = host::StateOf(pid);
  if (!state) return std::nullopt;
  return state->started;
}

std::optional<uint64_t> LiveStartTime(int pid) {
  auto state = host::StateOf(pid);
  if (!state || !state->live) return std::nullopt;
  return state->started;
}

bool IsAlive(const ProcessKey& key) {
  auto started = LiveStartTime(key.pid);
  return started && *started == key.started;
}

namespace {

// Programs that ended stay in the table so their exit codes can be asked
// for; only the newest of them are kept, so the table does not grow with
// every program a device ever ran. Starting a program costs far more than
// the pruning that comes with it.
constexpr int64_t kEndedRowsKept = 256;

void PruneEndedPrograms(SqlDb& db) {
  auto stmt = db.Cached(
      "DELETE FROM processes WHERE exit_code IS NOT NULL AND rowid NOT IN "
      "(SELECT rowid FROM processes WHERE exit_code IS NOT NULL ORDER BY rowid DESC LIMIT ?)");
  stmt->Bind(1, kEndedRowsKept).Run();
}

}  // namespace

bool RecordStart(Device* dev, const ProcessRow& row) {
  auto stmt = dev->Db().Cached("INSERT OR IGNORE INTO processes(pid, started, module, cmdline) VALUES(?,?,?,?)");
  stmt->Bind(1, int64_t{row.key.pid}).Bind(2, static_cast<int64_t>(row.key.started)).Bind(3, row.module).Bind(4, row.cmdline);
  if (!stmt->Run()) return false;
  bool added = dev->Db().Changes() > 0;
  if (added) PruneEndedPrograms(dev->Db());
  if (added) {
    JournalAppend("process", "start " + ToUtf8(row.module) + " pid " + std::to_string(row.key.pid) +
                                 (row.cmdline.empty() ? "" : " args " + ToUtf8(row.cmdline)));
  }
  return true;
}

bool RecordExit(Device* dev, const ProcessKey& key, DWORD exit_code) {
  SqlDb& db = dev->Db();
  auto stmt = db.Cached("UPDATE processes SET exit_code = ? WHERE pid = ? AND started = ? AND exit_code IS NULL");
  stmt->Bind(1, int64_t{exit_code}).Bind(2, int64_t{key.pid}).Bind(3, static_cast<int64_t>(key.started));
  if (!stmt->Run() || db.Changes() == 0) return false;
  auto row = FindProcess(dev, key);
  JournalAppend("process", "end " + (row ? ToUtf8(row->module) : std::string("?")) + " pid " + std::to_string(key.pid) +
                               " exit " + std::to_string(exit_code));
  return true;
}

namespace {

ProcessRow RowOf(SqlStmt& stmt) {
  ProcessRow row;
  row.key.pid = static_cast<int>(stmt.Int(0));
  row.key.started = static_cast<uint64_t>(stmt.Int(1));
  row.module = stmt.Text16(2);
  row.cmdline = stmt.Text16(3);
  if (!stmt.IsNull(4)) row.exit_code = static_cast<DWORD>(stmt.Int(4));
  return row;
}

}  // namespace

std::optional<ProcessRow> FindProcess(Device* dev, const ProcessKey& key) {
  auto stmt = dev->Db().Cached("SELECT pid, started, module, cmdline, exit_code FROM processes WHERE pid = ? AND started = ?");
  stmt->Bind(1, int64_t{key.pid}).Bind(2, static_cast<int64_t>(key.started));
  if (!stmt->Step()) return std::nullopt;
  return RowOf(*stmt);
}

std::vector<ProcessRow> RunningPrograms(Device* dev) {
  std::vector<ProcessRow> out;
  {
    auto stmt = dev->Db().Cached(
        "SELECT pid, started, module, cmdline, exit_code FROM processes WHERE exit_code IS NULL ORDER BY rowid DESC");
    while (stmt->Step()) {
      ProcessRow row = RowOf(*stmt);
      if (IsAlive(row.key)) out.push_back(std::move(row));
    }
  }
  return out;
}

std::optional<ProcessRow> FindRunning(Device* dev, int pid) {
  for (auto& row : RunningPrograms(dev)) {
    if (row.key.pid == pid) return row;
  }
  return std::nullopt;
}

}  // namespace cedev
