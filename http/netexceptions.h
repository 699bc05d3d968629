#pragma once
#include <string>

#include "base/errors.h"

// Failures of the HTTP client. Every one carries its message text; callers show what().
class ENetException : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// A reply that is not a plain 2xx (or carries a Location): the message is the status line.
class ENetHTTPProtocolException : public ENetException {
 public:
  ENetHTTPProtocolException(std::string statusLine, int statusCode, std::string responseBody)
      : ENetException(std::move(statusLine)), StatusCode(statusCode), ResponseBody(std::move(responseBody)) {}
  int StatusCode;
  std::string ResponseBody;
};

// Socket failures carry the Windows socket error numbers and texts callers know.
class ENetSocketError : public ENetException {
 public:
  explicit ENetSocketError(int code);
  int SocketErrorCode;
};

class ENetConnClosedGracefully : public ENetException {
 public:
  ENetConnClosedGracefully() : ENetException("Connection Closed Gracefully.") {}
};

class ENetReadTimeout : public ENetException {
 public:
  ENetReadTimeout() : ENetException("Read Timeout") {}
};

class ENetConnectTimeout : public ENetException {
 public:
  ENetConnectTimeout() : ENetException("Connect timed out.") {}
};

class ENetNotConnected : public ENetException {
 public:
  ENetNotConnected() : ENetException("Not Connected") {}
};

class ENetMaxLineLengthExceeded : public ENetException {
 public:
  ENetMaxLineLengthExceeded() : ENetException("Max line length exceeded.") {}
};

class ENetTransportInvalid : public ENetException {
 public:
  ENetTransportInvalid() : ENetException("Transport value is not valid") {}
};

class ENetUnknownProtocol : public ENetException {
 public:
  ENetUnknownProtocol() : ENetException("") {}
};

// The Windows socket error text for code, empty for a number it does not know.
std::string SocketErrorText(int code);

// The Windows socket error number that stands for a POSIX errno value.
int SocketErrorFromErrno(int err);
