#include "sql.h"

#include "wstr.h"

namespace cedev {

SqlStmt::~SqlStmt() {
  if (stmt_) sqlite3_finalize(stmt_);
}

SqlStmt& SqlStmt::Bind(int index, int64_t value) {
  sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

SqlStmt& SqlStmt::Bind(int index, std::string_view text) {
  // An empty view may have no data pointer; it still means "", not NULL.
  sqlite3_bind_text(stmt_, index, text.data() ? text.data() : "", static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

SqlStmt& SqlStmt::Bind(int index, std::u16string_view text) {
  sqlite3_bind_text16(stmt_, index, text.data() ? static_cast<const void*>(text.data()) : "",
                      static_cast<int>(text.size() * 2), SQLITE_TRANSIENT);
  return *this;
}

SqlStmt& SqlStmt::BindBlob(int index, const void* data, size_t size) {
  sqlite3_bind_blob64(stmt_, index, data ? data : "", size, SQLITE_TRANSIENT);
  return *this;
}

SqlStmt& SqlStmt::BindNull(int index) {
  sqlite3_bind_null(stmt_, index);
  return *this;
}

bool SqlStmt::Step() {
  if (!stmt_) {
    last_rc_ = SQLITE_MISUSE;
    return false;
  }
  last_rc_ = sqlite3_step(stmt_);
  return last_rc_ == SQLITE_ROW;
}

bool SqlStmt::Run() {
  Step();
  bool ok = last_rc_ == SQLITE_DONE || last_rc_ == SQLITE_ROW;
  if (stmt_) sqlite3_reset(stmt_);
  return ok;
}

void SqlStmt::Reset() {
  if (stmt_) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  last_rc_ = SQLITE_OK;
}

int64_t SqlStmt::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqlStmt::Text(int column) const {
  auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  return p ? std::string(p, sqlite3_column_bytes(stmt_, column)) : std::string();
}

std::u16string SqlStmt::Text16(int column) const {
  auto p = static_cast<const char16_t*>(sqlite3_column_text16(stmt_, column));
  return p ? std::u16string(p, sqlite3_column_bytes16(stmt_, column) / 2) : std::u16string();
}

std::vector<uint8_t> SqlStmt::Blob(int column) const {
  auto p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  return p ? std::vector<uint8_t>(p, p + sqlite3_column_bytes(stmt_, column)) : std::vector<uint8_t>();
}

const void* SqlStmt::BlobData(int column) const { return sqlite3_column_blob(stmt_, column); }
size_t SqlStmt::BlobSize(int column) const { return static_cast<size_t>(sqlite3_column_bytes(stmt_, column)); }
bool SqlStmt::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

SqlCached::~SqlCached() {
  if (stmt_.raw()) {
    sqlite3_reset(stmt_.raw());
    sqlite3_clear_bindings(stmt_.raw());
  }
  stmt_.Release();  // the statement belongs to the connection's cache
}

SqlDb::~SqlDb() { Close(); }

bool SqlDb::Open(const std::string& path) {
  Close();
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    Close();
    return false;
  }
  sqlite3_busy_timeout(db_, 30000);
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=NORMAL");
  Exec("PRAGMA foreign_keys=OFF");
  return true;
}

void SqlDb::Close() {
  for (auto& [sql, stmt] : cache_) sqlite3_finalize(stmt);
  cache_.clear();
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool SqlDb::Exec(std::string_view sql) {
  std::string text(sql);
  return sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

SqlStmt SqlDb::Prepare(std::string_view sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  return SqlStmt(stmt);
}

SqlCached SqlDb::Cached(const char* sql) {
  auto it = cache_.find(sql);
  if (it == cache_.end()) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    it = cache_.emplace(sql, stmt).first;
  }
  return SqlCached(it->second);
}

int64_t SqlDb::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int SqlDb::Changes() const { return sqlite3_changes(db_); }
std::string SqlDb::ErrorMessage() const { return db_ ? sqlite3_errmsg(db_) : "database not open"; }
bool SqlDb::InTransaction() const { return db_ && !sqlite3_get_autocommit(db_); }

void SqlDb::NoteChange(SharedCounter counter) {
  pending_bumps_ |= 1u << static_cast<unsigned>(counter);
  if (!InTransaction()) BumpPending();
}

void SqlDb::BumpPending() {
  for (unsigned c = 0; pending_bumps_; ++c, pending_bumps_ >>= 1) {
    if ((pending_bumps_ & 1) && listener_) listener_(static_cast<SharedCounter>(c));
  }
}

// Transactions are frequent and small (one registry write each), so their
// three statements are prepared once per connection.
SqlTxn::SqlTxn(SqlDb& db) : db_(db) {
  if (!sqlite3_get_autocommit(db_.raw())) {
    began_ = true;  // inside an outer transaction: it commits for us
    return;
  }
  began_ = db_.Cached("BEGIN IMMEDIATE")->Run();
  outer_ = began_;
}

SqlTxn::~SqlTxn() {
  if (!outer_) return;
  db_.Cached("ROLLBACK")->Run();
  db_.BumpPending();
}

bool SqlTxn::Commit() {
  if (!outer_) return began_;
  outer_ = false;
  if (db_.Cached("COMMIT")->Run()) {
    db_.BumpPending();
    return true;
  }
  db_.Cached("ROLLBACK")->Run();
  db_.BumpPending();  // nothing changed, but a bump too many only costs a cache
  return false;
}

}  // namespace cedev
