#pragma once
#include "sources/sourceerrors.h"

// Failures of the Open Patent Services source. Messages are GBK, and never hold the
// consumer key, the secret or a token.
class EOpsError : public ESourceError {
 public:
  using ESourceError::ESourceError;
};

// A reply that does not read as what was asked: not XML, too large or too deep, a
// document type declaration, a missing or impossible field.
class EOpsReplyError : public EOpsError {
 public:
  using EOpsError::EOpsError;
};

// A token reply without a usable token.
class EOpsTokenError : public EOpsError {
 public:
  using EOpsError::EOpsError;
};
