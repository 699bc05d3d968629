#pragma once
#include <exception>
#include <string>

// Failures of the base layer (files, settings). Messages are GBK like every core text.
class EBaseException : public std::exception {
 public:
  explicit EBaseException(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

class EFileError : public EBaseException {
 public:
  using EBaseException::EBaseException;
};
