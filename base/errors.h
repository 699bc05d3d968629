#pragma once
#include <exception>
#include <string>

// A failure that carries its message text; each subsystem derives its own family from it.
// Messages are GBK like every core text.
class EMessageException : public std::exception {
 public:
  explicit EMessageException(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 private:
  std::string message_;
};

// Failures of the base layer (files, settings).
class EBaseException : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

class EFileError : public EBaseException {
 public:
  using EBaseException::EBaseException;
};
