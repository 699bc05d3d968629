#pragma once
#include <exception>
#include <string>

// Failures of the download subsystem. Messages are GBK like every core text.
class EDownloadException : public std::exception {
 public:
  explicit EDownloadException(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A detail page whose page-viewer call does not read.
class EPageListError : public EDownloadException {
 public:
  using EDownloadException::EDownloadException;
};
