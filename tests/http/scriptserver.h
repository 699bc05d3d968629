#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct ssl_ctx_st SSL_CTX;

// A loopback HTTP peer for tests: each accepted connection plays the next script, reply
// by reply, and every byte the client sends on it is recorded. Given a server context, it
// serves every connection over TLS (the bytes recorded and scripted are then the plain ones).
class TScriptServer {
 public:
  enum class TAfter {
    NextRequest,  // keep the connection and wait for the next request
    Close,        // close right after the reply bytes (over TLS: without close_notify)
    Hang,         // keep the connection open and silent until the server stops
    Reset,        // abort the connection (RST) right after the reply bytes
    CloseNotify,  // over TLS: close_notify, then close
    Tear,         // close with the reply's last TearBytes on the wire held back (over TLS,
                  // bytes of its last record: the record is torn)
  };
  struct TReply {
    std::string Bytes;
    TAfter After = TAfter::NextRequest;
    bool WaitForRequest = true;  // false: send at once, before any request is complete
    // After Bytes: Drip, DripPiece bytes every DripMs, until it is out, the client has
    // closed or the server stops; then After.
    std::string Drip = {};
    int DripMs = 0;
    size_t DripPiece = 1;
    size_t TearBytes = 0;
  };
  using TScript = std::vector<TReply>;

  explicit TScriptServer(std::vector<TScript> scripts, SSL_CTX* tls = nullptr);
  ~TScriptServer();
  TScriptServer(const TScriptServer&) = delete;
  TScriptServer& operator=(const TScriptServer&) = delete;

  int Port() const { return port_; }
  std::string Url(const std::string& target = "/") const;
  int Connections() const;
  // The bytes the client sent on connection i (in accept order).
  std::string Received(size_t i) const;
  // Waits (bounded) until connection i has been closed by either side.
  bool WaitClosed(size_t i, int timeoutMs = 2000) const;
  // Over TLS: the handshakes completed, those that resumed a session, and the name the
  // client asked for on connection i (SNI; empty when it gave none).
  int Handshakes() const;
  int Resumed() const;
  std::string ServerName(size_t i) const;

  class TPeerIo;

 private:
  void AcceptLoop();
  void Serve(int fd, size_t index);
  bool ReadRequest(TPeerIo& io, size_t index, size_t& consumed);
  void Append(size_t index, const char* data, size_t size);

  std::vector<TScript> scripts_;
  SSL_CTX* tls_ = nullptr;
  int handshakes_ = 0, resumed_ = 0;
  std::vector<std::string> serverNames_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  mutable std::mutex lock_;
  std::vector<std::string> received_;
  std::vector<bool> closed_;
  std::vector<std::thread> workers_;
};

// A loopback listener whose accept queue is full and never served, so that a further
// connect gets no answer at all. Closed with the object.
class TFullListener {
 public:
  TFullListener();
  ~TFullListener();
  TFullListener(const TFullListener&) = delete;
  TFullListener& operator=(const TFullListener&) = delete;
  int Port() const { return port_; }

 private:
  int listen_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};
