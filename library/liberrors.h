#pragma once
#include "base/errors.h"

// Failures of the patent library: the file cannot be opened, read or written, its schema
// is newer than the program, an export cannot be written. Messages are GBK.
class ELibraryError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// The file was locked by another process longer than a busy lock is waited for, or in a
// way SQLite does not wait for (a new file switched to WAL by another process).
class ELibraryBusy : public ELibraryError {
 public:
  using ELibraryError::ELibraryError;
};
