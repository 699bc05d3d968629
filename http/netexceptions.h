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

 protected:
  explicit ENetConnClosedGracefully(std::string message) : ENetException(std::move(message)) {}
};

// A reply over TLS that the connection's end cut short: fewer bytes than its Content-Length,
// or a body that runs to the close without the server's close_notify (it may have been cut
// by anyone on the way). A close like any other to a caller that retries.
class ENetTlsTruncated : public ENetConnClosedGracefully {
 public:
  explicit ENetTlsTruncated(std::string message) : ENetConnClosedGracefully(std::move(message)) {}
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

// TLS failures. The message names the server and says what failed, in Chinese: a user
// meets it. Nothing of the request has been sent when the handshake fails.
class ENetTlsError : public ENetException {
 public:
  using ENetException::ENetException;
};

// The handshake failed for a reason of its own: the server closed, answered with what is not
// TLS, or sent an alert.
class ENetTlsHandshakeFailed : public ENetTlsError {
 public:
  using ENetTlsError::ENetTlsError;
};

// The server speaks nothing newer than TLS 1.1.
class ENetTlsOldProtocol : public ENetTlsError {
 public:
  using ENetTlsError::ENetTlsError;
};

// The server's certificate failed verification; VerifyResult is the X509_V_ERR_ code.
class ENetTlsCertificateError : public ENetTlsError {
 public:
  ENetTlsCertificateError(std::string message, long verifyResult)
      : ENetTlsError(std::move(message)), VerifyResult(verifyResult) {}
  long VerifyResult;
};

class ENetTlsUnknownCA : public ENetTlsCertificateError {
 public:
  using ENetTlsCertificateError::ENetTlsCertificateError;
};

class ENetTlsCertificateExpired : public ENetTlsCertificateError {
 public:
  using ENetTlsCertificateError::ENetTlsCertificateError;
};

// The certificate is sound but for another host name or address.
class ENetTlsHostMismatch : public ENetTlsCertificateError {
 public:
  using ENetTlsCertificateError::ENetTlsCertificateError;
};

// A proxy variable of the environment that names no proxy the client can use. Raised before
// anything is sent.
class ENetProxyError : public ENetException {
 public:
  using ENetException::ENetException;
};

// The proxy answered the CONNECT with other than 2xx. A protocol error of the proxy's:
// StatusCode is its code (-1 for a reply that is not HTTP), StatusLine its status line.
class ENetProxyRefused : public ENetHTTPProtocolException {
 public:
  ENetProxyRefused(const std::string& statusLine, int statusCode);
  std::string StatusLine;
};

class ENetUnknownProtocol : public ENetException {
 public:
  ENetUnknownProtocol() : ENetException("") {}
};

// The Windows socket error text for code, empty for a number it does not know.
std::string SocketErrorText(int code);

// The Windows socket error number that stands for a POSIX errno value.
int SocketErrorFromErrno(int err);
