#pragma once
#include "base/errors.h"

// Failures of the download subsystem.
class EDownloadException : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// A merge or a conversion of a record's pages that failed: its PDF would miss pages or
// not be there at all.
class EConversionError : public EDownloadException {
 public:
  using EDownloadException::EDownloadException;
};


