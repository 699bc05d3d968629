#include "library/sqlite.h"

#include <sqlite3.h>

#include "base/gbk.h"

namespace {

// Busy apart from every other failure: a caller may wait it out.
[[noreturn]] void Throw(int code, const std::string& utf8Message, const std::string& gbkContext = "") {
  const std::string message = gbkContext + (gbkContext.empty() ? "" : ": ") + Utf8ToGbk(utf8Message);
  if ((code & 0xff) == SQLITE_BUSY) throw ELibraryBusy(message);
  throw ELibraryError(message);
}

}  // namespace

TSqlite::TSqlite(const std::string& path, bool create) {
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw ELibraryError(Utf8ToGbk(message));
  }
  sqlite3_extended_result_codes(db_, 1);
}

TSqlite::~TSqlite() { sqlite3_close_v2(db_); }

void TSqlite::Fail(const std::string& context) const {
  Throw(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_), context);
}

void TSqlite::Exec(const std::string& sql) {
  char* error = nullptr;
  if (const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error); rc != SQLITE_OK) {
    const std::string message = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    Throw(rc, message);
  }
}

int64_t TSqlite::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }
int TSqlite::Changes() const { return sqlite3_changes(db_); }

TStatement::TStatement(TSqlite& db, const std::string& sql) : db_(db) {
  if (sqlite3_prepare_v2(db.Handle(), sql.c_str(), int(sql.size()), &stmt_, nullptr) != SQLITE_OK)
    db.Fail("");
}

TStatement::~TStatement() { sqlite3_finalize(stmt_); }

TStatement& TStatement::Bind(int index, const std::string& text) {
  if (sqlite3_bind_text(stmt_, index, text.data(), int(text.size()), SQLITE_TRANSIENT) != SQLITE_OK) db_.Fail("");
  return *this;
}

TStatement& TStatement::Bind(int index, int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) db_.Fail("");
  return *this;
}

TStatement& TStatement::Bind(int index, double value) {
  if (sqlite3_bind_double(stmt_, index, value) != SQLITE_OK) db_.Fail("");
  return *this;
}

TStatement& TStatement::Bind(int index, const std::optional<int>& value) {
  return value ? Bind(index, int64_t(*value)) : BindNull(index);
}

TStatement& TStatement::BindNull(int index) {
  if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) db_.Fail("");
  return *this;
}

bool TStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) {
    Reset();
    return false;
  }
  // The message belongs to the failed step; take it before the reset.
  const std::string message = sqlite3_errmsg(db_.Handle());
  sqlite3_reset(stmt_);
  Throw(rc, message);
}

void TStatement::Run() {
  while (Step()) {
  }
}

void TStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::string TStatement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), size_t(sqlite3_column_bytes(stmt_, column)))
              : std::string();
}

int64_t TStatement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }
double TStatement::Real(int column) const { return sqlite3_column_double(stmt_, column); }
bool TStatement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

TTransaction::TTransaction(TSqlite& db) : db_(db) { db_.Exec("BEGIN IMMEDIATE"); }

TTransaction::~TTransaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}
