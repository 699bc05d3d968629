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

// A detail page whose page-viewer call does not read.
class EPageListError : public EDownloadException {
 public:
  using EDownloadException::EDownloadException;
};

// A page that the OCR tool could not recognise; the message says why (GBK).
class EOcrError : public EDownloadException {
 public:
  using EDownloadException::EDownloadException;
};
