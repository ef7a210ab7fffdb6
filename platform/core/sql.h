// A small RAII layer over SQLite for the device's state.db. Each thread gets
// its own connection (see Device::Db), so statements are never shared across
// threads; WAL mode and a busy timeout let several device programs use the
// database at once.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace cedev {

enum class SharedCounter;  // shared_counters.h

class SqlStmt {
 public:
  SqlStmt() = default;
  explicit SqlStmt(sqlite3_stmt* stmt) : stmt_(stmt) {}
  SqlStmt(const SqlStmt&) = delete;
  SqlStmt& operator=(const SqlStmt&) = delete;
  SqlStmt(SqlStmt&& other) noexcept : stmt_(other.stmt_) { other.stmt_ = nullptr; }
  ~SqlStmt();

  // Binding is 1-based, as in SQLite. Each returns *this for chaining.
  SqlStmt& Bind(int index, int64_t value);
  SqlStmt& Bind(int index, std::string_view text);
  SqlStmt& Bind(int index, std::u16string_view text);
  SqlStmt& BindBlob(int index, const void* data, size_t size);
  SqlStmt& BindNull(int index);

  // True while a row is available; false at the end. A failure (other than
  // busy, which the busy timeout absorbs) also ends the walk; see Ok().
  bool Step();
  // Runs a statement that returns no rows; true on success.
  bool Run();
  bool Ok() const { return last_rc_ == SQLITE_OK || last_rc_ == SQLITE_ROW || last_rc_ == SQLITE_DONE; }
  int LastResult() const { return last_rc_; }
  void Reset();

  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::u16string Text16(int column) const;
  std::vector<uint8_t> Blob(int column) const;
  const void* BlobData(int column) const;
  size_t BlobSize(int column) const;
  bool IsNull(int column) const;

  sqlite3_stmt* raw() const { return stmt_; }
  // Gives up ownership without finalizing.
  sqlite3_stmt* Release() {
    sqlite3_stmt* s = stmt_;
    stmt_ = nullptr;
    return s;
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int last_rc_ = SQLITE_OK;
};

// A prepared statement borrowed from a connection's cache: it is reset and its
// bindings cleared when the borrow ends.
class SqlCached {
 public:
  explicit SqlCached(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~SqlCached();
  SqlCached(const SqlCached&) = delete;
  SqlCached& operator=(const SqlCached&) = delete;
  SqlStmt* operator->() { return &stmt_; }
  SqlStmt& operator*() { return stmt_; }

 private:
  SqlStmt stmt_;
};

class SqlDb {
 public:
  SqlDb() = default;
  ~SqlDb();
  SqlDb(const SqlDb&) = delete;
  SqlDb& operator=(const SqlDb&) = delete;

  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  bool Exec(std::string_view sql);
  SqlStmt Prepare(std::string_view sql);
  // Prepared once per connection and kept; sql must be a string literal or
  // otherwise outlive the connection.
  SqlCached Cached(const char* sql);
  int64_t LastInsertId() const;
  int Changes() const;
  std::string ErrorMessage() const;
  sqlite3* raw() const { return db_; }
  bool InTransaction() const;

  // A statement just changed what `counter` watches: the connection's
  // commit listener is told once the change is committed (at once outside a
  // transaction, else when the outermost transaction commits), so no other
  // program can see the counter move and still read the old data.
  void NoteChange(SharedCounter counter);
  // Who bumps the counters of this connection's committed changes (the
  // device's connections bump the shared ones); none by default.
  void SetCommitListener(void (*listener)(SharedCounter counter)) { listener_ = listener; }

 private:
  friend class SqlTxn;
  void BumpPending();

  sqlite3* db_ = nullptr;
  std::map<const char*, sqlite3_stmt*> cache_;
  unsigned pending_bumps_ = 0;  // bit per SharedCounter
  void (*listener_)(SharedCounter counter) = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back unless Commit() was called. Nested
// use on one connection is allowed: only the outermost scope commits.
class SqlTxn {
 public:
  explicit SqlTxn(SqlDb& db);
  ~SqlTxn();
  bool Commit();
  bool Active() const { return began_; }

 private:
  SqlDb& db_;
  bool began_ = false;
  bool outer_ = false;
};

}  // namespace cedev
