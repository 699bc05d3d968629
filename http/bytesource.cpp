#include "http/bytesource.h"

#include <algorithm>

#include "base/stream.h"
#include "http/netexceptions.h"

void TByteSource::ClearBuffer() {
  buf_.clear();
  pos_ = scanned_ = 0;
}

bool TByteSource::Fill() {
  // Drop consumed bytes only once enough have piled up, so that lines stay cheap.
  if (pos_ >= kRecvBufferSize) {
    buf_.erase(0, pos_);
    scanned_ -= pos_;
    pos_ = 0;
  }
  size_t old = buf_.size();
  buf_.resize(old + kRecvBufferSize);
  size_t n = 0;
  try {
    n = Receive(buf_.data() + old, kRecvBufferSize);
  } catch (...) {
    buf_.resize(old);
    throw;
  }
  buf_.resize(old + n);
  return n > 0;
}

std::string TByteSource::ReadLn(size_t maxLength) {
  for (;;) {
    size_t lf = buf_.find('\n', std::max(scanned_, pos_));
    if (lf != std::string::npos) {
      size_t len = lf - pos_;
      if (len > 0 && buf_[lf - 1] == '\r') --len;
      if (len > maxLength) throw ENetMaxLineLengthExceeded();
      std::string line = buf_.substr(pos_, len);
      pos_ = scanned_ = lf + 1;
      return line;
    }
    scanned_ = buf_.size();
    // A CR at the end may still be the line's own, its LF yet to come: a line of just the
    // limit must not fail or pass by where the bytes happen to be split.
    size_t pending = Buffered();
    if (pending > 0 && buf_.back() == '\r') --pending;
    if (pending > maxLength) throw ENetMaxLineLengthExceeded();
    if (!Fill()) throw ENetConnClosedGracefully();
  }
}

int64_t TByteSource::ReadCounted(TStream& dest, int64_t count) {
  int64_t done = 0;
  while (done < count && Buffered() > 0) {
    size_t take = static_cast<size_t>(std::min<int64_t>({count - done, static_cast<int64_t>(Buffered()),
                                                         static_cast<int64_t>(kRecvBufferSize)}));
    dest.Write(buf_.data() + pos_, take);
    pos_ += take;
    done += static_cast<int64_t>(take);
  }
  if (Buffered() == 0) ClearBuffer();
  // The rest goes straight from the source to the destination, never past the count.
  char block[kRecvBufferSize];
  while (done < count) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count - done, static_cast<int64_t>(kRecvBufferSize)));
    size_t n = Receive(block, want);
    if (n == 0) break;
    dest.Write(block, n);
    done += static_cast<int64_t>(n);
  }
  return done;
}

void TByteSource::ReadUntilClose(TStream& dest) { ReadCounted(dest, INT64_MAX); }
