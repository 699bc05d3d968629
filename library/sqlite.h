#pragma once
// A thin ownership layer over SQLite's C API: a connection, a prepared statement and a
// write transaction, each closed by its destructor. Every failure throws ELibraryError
// with SQLite's own message.
#include <cstdint>
#include <optional>
#include <string>

#include "library/liberrors.h"

struct sqlite3;
struct sqlite3_stmt;

class TSqlite {
 public:
  // Opens (creating when asked) the database file at the path (system bytes).
  TSqlite(const std::string& path, bool create);
  ~TSqlite();
  TSqlite(const TSqlite&) = delete;
  TSqlite& operator=(const TSqlite&) = delete;

  // Runs statements that return nothing wanted (several, separated by ";").
  void Exec(const std::string& sql);
  int64_t LastInsertId() const;
  int Changes() const;
  sqlite3* Handle() const { return db_; }
  // Throws ELibraryError with what SQLite says of the last call, prefixed by context.
  [[noreturn]] void Fail(const std::string& context) const;

 private:
  sqlite3* db_ = nullptr;
};

class TStatement {
 public:
  TStatement(TSqlite& db, const std::string& sql);
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  // Binding by position from 1; returns *this so binds chain. Text is bound as it is.
  TStatement& Bind(int index, const std::string& text);
  TStatement& Bind(int index, const char* text) { return Bind(index, std::string(text)); }
  TStatement& Bind(int index, int64_t value);
  TStatement& Bind(int index, int value) { return Bind(index, int64_t(value)); }
  TStatement& Bind(int index, double value);
  TStatement& Bind(int index, const std::optional<int>& value);
  TStatement& BindNull(int index);

  // Moves to the next row: false when there is none (the statement is then reset for
  // another run with new binds).
  bool Step();
  // Runs a statement that returns no rows, then resets it.
  void Run();
  void Reset();

  std::string Text(int column) const;
  int64_t Int(int column) const;
  double Real(int column) const;
  bool IsNull(int column) const;

 private:
  TSqlite& db_;
  sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE: the write lock is taken at once, so that a second process waits its
// busy timeout at the start instead of failing at its first write. Rolled back by the
// destructor unless committed.
class TTransaction {
 public:
  explicit TTransaction(TSqlite& db);
  ~TTransaction();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;
  void Commit();

 private:
  TSqlite& db_;
  bool open_ = true;
};
