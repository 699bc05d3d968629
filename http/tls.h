#pragma once
#include <cstddef>
#include <string>

typedef struct ssl_st SSL;

// The raw bytes beneath TLS: a connection's socket, or a buffer in the fuzz target. The two
// transfers never block and never throw, since OpenSSL calls them; Wait may do both.
class TNetLink {
 public:
  virtual ~TNetLink() = default;
  // Bytes received (> 0), 0 once the peer has closed, -1 when none are there yet, -2 on a
  // failure with its Windows socket error number in error.
  virtual ptrdiff_t RecvSome(char* into, size_t size, int& error) noexcept = 0;
  // Bytes taken (> 0), -1 when none can be taken yet, -2 on a failure as above.
  virtual ptrdiff_t SendSome(const char* data, size_t size, int& error) noexcept = 0;
  // Until the link can receive (write: send); raises a time-out past its bound.
  virtual void Wait(bool write) = 0;
};

// TLS over a link, as a client: TLS 1.2 or newer, the server's certificate verified against
// the trust store (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR apply) and
// against the host, SNI for a host name. Every layer shares one process-wide context, loaded
// at the first use, and one session cache, so a reconnect to a host:port, from this object or
// another thread's, resumes the session the server last gave. Failures raise the
// ENetTlsError family (netexceptions.h) with the server named in their message.
class TTlsLayer {
 public:
  // host: the name or address of the URL, which the certificate must be for.
  TTlsLayer(TNetLink& link, const std::string& host, const std::string& port);
  ~TTlsLayer();
  TTlsLayer(const TTlsLayer&) = delete;
  TTlsLayer& operator=(const TTlsLayer&) = delete;

  void Handshake();
  // Up to size decrypted bytes; 0 once the stream has ended, cleanly (close_notify) or not
  // (EndedUncleanly: the transport closed first, so what came may be cut short).
  size_t Read(char* into, size_t size);
  void Write(const char* data, size_t size);
  // For a kept connection, without waiting: true while nothing but TLS housekeeping (session
  // tickets, key updates) has arrived and the peer has not closed.
  bool Idle();
  // Sends close_notify once, when the connection is still sound; never waits.
  void Shutdown();

  bool Resumed() const;
  bool EndedUncleanly() const { return unclean_; }
  const std::string& SessionKey() const { return key_; }

 private:
  friend struct TLinkBio;
  [[noreturn]] void RaiseHandshakeFailure(int sslError);
  [[noreturn]] void RaiseBroken(int sslError);
  // The reason of the first error OpenSSL queued, or its own words for the SSL error kind.
  std::string ReasonText(int sslError) const;

  TNetLink& link_;
  SSL* ssl_ = nullptr;
  std::string server_;  // "host:port", as messages name it
  std::string key_;     // the session cache's key: lower-case host, ":", port
  int linkError_ = 0;   // the link's last failure, for OpenSSL's "syscall" errors
  bool linkEof_ = false;
  bool broken_ = false;  // a fatal error: no close_notify may follow, the session is spent
  bool shutDown_ = false;
  bool ended_ = false;
  bool unclean_ = false;
};
