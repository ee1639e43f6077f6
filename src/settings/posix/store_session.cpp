#include "settings/posix/store_session.h"

#include <sqlite3.h>

namespace talvek {

namespace {

// SQLite takes a null pointer as SQL NULL; an empty text or blob is not.
const char* nonNull(std::string_view bytes) {
  return bytes.data() ? bytes.data() : "";
}

int bind(sqlite3_stmt* stmt, int index, const SqlParam& param) {
  const int length = static_cast<int>(param.bytes.size());
  switch (param.kind) {
    case SqlParam::Kind::Integer:
      return sqlite3_bind_int64(stmt, index, param.number);
    case SqlParam::Kind::Text:
      return sqlite3_bind_text(stmt, index, nonNull(param.bytes), length, SQLITE_TRANSIENT);
    case SqlParam::Kind::Blob:
      return sqlite3_bind_blob(stmt, index, nonNull(param.bytes), length, SQLITE_TRANSIENT);
  }
  return SQLITE_MISUSE;
}

}  // namespace

bool StoreSession::run(std::string_view sql, std::initializer_list<SqlParam> params,
                       const std::function<void(sqlite3_stmt*)>& onRow) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return fail(rc);
  }
  int index = 1;
  for (const SqlParam& param : params) {
    rc = bind(stmt, index++, param);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return fail(rc);
    }
  }
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    if (onRow) onRow(stmt);
  }
  sqlite3_finalize(stmt);
  return rc == SQLITE_DONE ? true : fail(rc);
}

bool StoreSession::exec(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? true : fail(rc);
}

void StoreSession::rollback() {
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool StoreSession::storeDamaged() const {
  switch (failure_) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    // "unsupported file format", a table of the same name with other columns
    case SQLITE_ERROR:
    case SQLITE_FORMAT:
    case SQLITE_MISMATCH:
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    // What SQLite answers for some damaged headers (an unknown text
    // encoding); a store of a few pages does not run out of memory.
    case SQLITE_NOMEM:
      return true;
    default:
      return false;
  }
}

void StoreSession::markDamaged() {
  fail(SQLITE_CORRUPT);
}

bool StoreSession::fail(int rc) {
  if (failure_ == SQLITE_OK) failure_ = rc & 0xff;
  return false;
}

}  // namespace talvek
