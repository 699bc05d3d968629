#pragma once
#include <cstdint>
#include <string>

class TStream;

// One TCP connection with its input buffer. Lines and counted bodies are taken from the
// buffer first; more is received only when it runs short.
class TNetConnection {
 public:
  static constexpr size_t kRecvBufferSize = 32768;
  static constexpr size_t kDefaultMaxLineLength = 16384;

  TNetConnection() = default;
  ~TNetConnection() { Close(); }
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

  // A line without its LF (and a CR before it). Raises ENetMaxLineLengthExceeded for an
  // overlong line and ENetConnClosedGracefully when the server closes first.
  std::string ReadLn();
  // Up to count bytes into dest; fewer only when the server closes. Returns bytes read.
  int64_t ReadCounted(TStream& dest, int64_t count);
  void ReadUntilClose(TStream& dest);

  // Wait limit for each receive in ms; 0 waits for good.
  int ReadTimeoutMs = 0;
  // Longest line ReadLn accepts, and most bytes it buffers while looking for a LF.
  size_t MaxLineLength = kDefaultMaxLineLength;

 private:
  // Receives once into the buffer; false when the server has closed.
  bool Receive();
  // Waits for data within the read limit; raises ENetReadTimeout when none comes.
  void WaitReadable();
  // recv once; returns bytes, 0 on close (socket then closed). Raises receive errors.
  size_t RecvSome(char* into, size_t size);
  size_t Buffered() const { return buf_.size() - pos_; }

  int fd_ = -1;
  std::string buf_;
  size_t pos_ = 0;      // consumed bytes at the front of buf_
  size_t scanned_ = 0;  // bytes of buf_ already searched for a LF
};
