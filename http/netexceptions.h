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
  std::string RetryAfter;  // the reply's Retry-After header, empty when it had none
};

// A reply that cannot be read to a sound end. The message is the same whatever the reason;
// Reason tells the cases apart.
class ENetUndefinedSituation : public ENetException {
 public:
  enum class TReason {
    TextBodyTooLarge,    // a text result's body grew past its limit
    BadContentLength,    // a negative Content-Length, or one beyond a text result's limit
    ClosedAfterHeaders,  // a 2xx reply whose connection closed inside its header block
  };
  explicit ENetUndefinedSituation(TReason reason) : ENetException("Undefined situation"), Reason(reason) {}
  TReason Reason;
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

// A request target or header value holding CR, LF or NUL: text from a page must never
// add lines of its own to a request. Raised before anything is sent.
class ENetUnsafeRequest : public ENetException {
 public:
  ENetUnsafeRequest() : ENetException("Request refused: CR, LF or NUL in its target or a header.") {}
};

class ENetUnknownProtocol : public ENetException {
 public:
  ENetUnknownProtocol() : ENetException("") {}
};

// The Windows socket error text for code, empty for a number it does not know.
std::string SocketErrorText(int code);

// The Windows socket error number that stands for a POSIX errno value.
int SocketErrorFromErrno(int err);
