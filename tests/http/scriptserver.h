#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback HTTP peer for tests: each accepted connection plays the next script, reply
// by reply, and every byte the client sends on it is recorded.
class TScriptServer {
 public:
  enum class TAfter {
    NextRequest,  // keep the connection and wait for the next request
    Close,        // close right after the reply bytes
    Hang,         // keep the connection open and silent until the server stops
    Reset,        // abort the connection (RST) right after the reply bytes
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
  };
  using TScript = std::vector<TReply>;

  explicit TScriptServer(std::vector<TScript> scripts);
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

 private:
  void AcceptLoop();
  void Serve(int fd, size_t index);
  bool ReadRequest(int fd, size_t index, size_t& consumed);
  void Append(size_t index, const char* data, size_t size);

  std::vector<TScript> scripts_;
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
