#pragma once
#include "base/errors.h"

// Failures of the download subsystem.
class EDownloadException : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// A detail page whose page-viewer call does not read.
class EPageListError : public EDownloadException {
 public:
  using EDownloadException::EDownloadException;
};
