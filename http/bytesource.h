#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TStream;

// The bytes of replies as the reply reader takes them: lines and counted runs are served
// from an input buffer first, and more is received only when it runs short. A derived
// class says where the bytes come from (a socket; a buffer in the tests). Every wait
// happens in Receive, so a limit on time (per wait, over a whole header block, on a
// body's pace) belongs to the source and the reader stays as it is.
class TByteSource {
 public:
  static constexpr size_t kRecvBufferSize = 32768;

  virtual ~TByteSource() = default;

  // A line without its LF (and a CR just before it). Raises ENetMaxLineLengthExceeded for
  // a line longer than maxLength or as many bytes buffered without a LF, and
  // ENetConnClosedGracefully when the source ends first.
  std::string ReadLn(size_t maxLength);
  // Up to count bytes into dest; fewer only when the source ends. Returns the bytes read.
  int64_t ReadCounted(TStream& dest, int64_t count);
  // Every byte up to the end of the source into dest.
  void ReadUntilClose(TStream& dest);

 protected:
  // Up to size bytes into `into`; 0 once the source has ended, and on every call after.
  virtual size_t Receive(char* into, size_t size) = 0;
  size_t Buffered() const { return buf_.size() - pos_; }
  void ClearBuffer();

 private:
  // Receives once into the buffer; false when the source has ended.
  bool Fill();

  std::string buf_;
  size_t pos_ = 0;      // consumed bytes at the front of buf_
  size_t scanned_ = 0;  // bytes of buf_ already searched for a LF
};
