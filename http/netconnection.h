#pragma once
#include <chrono>
#include <string>

#include "http/bytesource.h"

// One TCP connection: the byte source of its replies, and the sending of requests.
class TNetConnection : public TByteSource {
 public:
  TNetConnection() = default;
  ~TNetConnection() override { Close(); }
  TNetConnection(const TNetConnection&) = delete;
  TNetConnection& operator=(const TNetConnection&) = delete;

  // Resolves host, connects, empties the input buffer. connectTimeoutMs 0 waits for good.
  void Connect(const std::string& host, int port, int connectTimeoutMs);
  void Close();
  bool Connected() const { return fd_ >= 0; }
  // Before reusing a kept connection: true when it is still usable. A close (or stray
  // bytes) from the server meanwhile means the next reply could not be told apart.
  bool StillUsable();

  void Send(const char* data, size_t size);
  void Send(const std::string& data) { Send(data.data(), data.size()); }

  // Bounds on the receives from now on, in ms; 0 waits for good. A limit on each single
  // wait would let a server that drips a byte now and then hold the caller for days, so
  // the bounds are on progress. Whole: everything must arrive within ms in all (a header
  // block). Paced: every ms must bring at least kPaceBytes (a body, which may be long but
  // must keep coming). A wait past the bound raises ENetReadTimeout.
  void BoundWhole(int ms);
  void BoundPace(int ms);
  static constexpr size_t kPaceBytes = 1024;

 protected:
  // recv once after waiting within the bound; 0 on close (the socket is then closed).
  // Raises ENetReadTimeout when nothing comes in time, and the receive errors.
  size_t Receive(char* into, size_t size) override;

 private:
  using TClock = std::chrono::steady_clock;
  void Bound(int ms, bool paced);
  void WaitReadable();

  int fd_ = -1;
  int boundMs_ = 0;
  bool paced_ = false;
  TClock::time_point deadline_;
  size_t paceBytes_ = 0;  // received since the paced window began
};
