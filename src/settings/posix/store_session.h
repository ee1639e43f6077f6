// Runs the SQL statements of one registry operation on an open connection
// and remembers the first failure, so the operation can tell a damaged store
// from a missing key.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace talvek {

// One bound parameter: an integer, a text or a blob.
struct SqlParam {
  enum class Kind { Integer, Text, Blob };
  Kind kind;
  std::int64_t number = 0;
  std::string_view bytes;

  static SqlParam integer(std::int64_t n) { return {Kind::Integer, n, {}}; }
  static SqlParam text(std::string_view s) { return {Kind::Text, 0, s}; }
  static SqlParam blob(std::string_view s) { return {Kind::Blob, 0, s}; }
};

class StoreSession {
 public:
  explicit StoreSession(sqlite3* db) : db_(db) {}

  // Runs one statement to its end, calling onRow for each result row.
  // False on failure, which failure() then reports.
  bool run(std::string_view sql, std::initializer_list<SqlParam> params = {},
           const std::function<void(sqlite3_stmt*)>& onRow = nullptr);

  // Runs statements without parameters or results.
  bool exec(const char* sql);

  // Ends a transaction after a failure; its own result does not matter.
  void rollback();

  // The SQLite primary result code of the first failure, or SQLITE_OK.
  int failure() const { return failure_; }
  // The failure is the file's fault: corrupt, not a database at all, or a
  // database whose format or tables the store's statements, which are right
  // for every store it writes, cannot use. Not a lock, I/O, space or
  // permission failure, which passes. As SQLite reports it: a read that
  // failed can look like damage too.
  bool storeDamaged() const;
  // Records that a check of the file found it damaged, as a failure.
  void markDamaged();

 private:
  bool fail(int rc);

  sqlite3* db_;
  int failure_ = 0;
};

}  // namespace talvek
