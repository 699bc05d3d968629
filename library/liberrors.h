#pragma once
#include "base/errors.h"

// Failures of the patent library: the file cannot be opened, read or written, its schema
// is newer than the program, an export cannot be written. Messages are GBK.
class ELibraryError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};
