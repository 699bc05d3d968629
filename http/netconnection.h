#pragma once
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

  // Wait limit for each receive in ms; 0 waits for good.
  int ReadTimeoutMs = 0;

 protected:
  // recv once after waiting within the read limit; 0 on close (the socket is then closed).
  // Raises ENetReadTimeout when nothing comes, and the receive errors.
  size_t Receive(char* into, size_t size) override;

 private:
  void WaitReadable();

  int fd_ = -1;
};
