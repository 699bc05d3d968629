#pragma once
#include "base/errors.h"

// Failures of the sources of patent data; each source derives its own from this one.
class ESourceError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// A detail page of the site whose page-viewer call does not read.
class EPageListError : public ESourceError {
 public:
  using ESourceError::ESourceError;
};
