#include "http/replyreader.h"

#include <algorithm>
#include <climits>

#include "base/bytes.h"
#include "base/stream.h"
#include "http/netexceptions.h"

namespace {

using TReason = ENetUndefinedSituation::TReason;

// A text body announced larger than this is grown as it arrives, so a lying
// Content-Length cannot make us reserve memory the server never sends.
constexpr int64_t kMaxReserve = 16 << 20;
// An endless header block (or run of interim replies) must end like an endless line
// does, not fill memory or hold the caller: at most this many lines' worth of bytes.
constexpr size_t kMaxHeaderBlockLines = 64;

// Appends a body to a text result, up to a limit: a server that never stops sending must
// not fill memory.
class TTextSink : public TStream {
 public:
  TTextSink(std::string& text, size_t limit) : text_(text), limit_(limit) {}
  void Write(const char* data, size_t size) override {
    if (size > limit_ - std::min(limit_, text_.size())) throw ENetUndefinedSituation(TReason::TextBodyTooLarge);
    text_.append(data, size);
  }

 private:
  std::string& text_;
  size_t limit_;
};

// A chunk size: hex digits up to the first space; unreadable counts as 0. A size beyond
// any real body saturates, so the read ends at the server's close instead of wrapping.
int64_t ReadChunkSize(const std::string& line) {
  std::string text = TrimBytes(line.substr(0, line.find(' ')));
  int64_t v = 0;
  if (text.empty()) return 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return 0;
    v = v > (INT64_MAX >> 4) ? INT64_MAX : (v << 4) + digit;
  }
  return v;
}

int StatusCodeOf(const std::string& statusLine) {
  size_t space = statusLine.find(' ');
  if (space == std::string::npos) return -1;
  std::string rest = TrimBytes(statusLine.substr(space + 1));
  int64_t code;
  if (!ReadDecimal(rest.substr(0, rest.find(' ')), code) || code < INT_MIN || code > INT_MAX) return -1;
  return static_cast<int>(code);
}

void TakeFields(THttpResponse& reply) {
  const THeaderList& h = reply.RawHeaders;
  reply.Location = h.Values("Location");
  reply.Server = h.Values("Server");
  reply.Connection = h.Values("Connection");
  reply.ProxyConnection = h.Values("Proxy-Connection");
  if (h.Has("Content-Type")) reply.ContentType = h.Values("Content-Type");
  reply.ContentEncoding = h.Values("Content-Encoding");
  reply.ContentLanguage = h.Values("Content-Language");
  reply.ContentVersion = h.Values("Content-Version");
  reply.TransferEncoding = h.Values("Transfer-Encoding");
  int64_t length = -1;
  reply.HasContentLength = h.Has("Content-Length") && ReadDecimal(h.Values("Content-Length"), length);
  reply.ContentLength = reply.HasContentLength ? length : -1;
  reply.Date = h.Values("Date");
  reply.Expires = h.Values("Expires");
  reply.LastModified = h.Values("Last-Modified");
  reply.Pragma = h.Values("Pragma");
  reply.WWWAuthenticate = h.AllValues("WWW-Authenticate");
  reply.ProxyAuthenticate = h.AllValues("Proxy-Authenticate");
}

}  // namespace

void ReadReplyHead(TByteSource& source, size_t maxLine, THttpResponse& reply,
                   const std::function<void(const THttpResponse&)>& onHead) {
  // Interim replies count against the same limit, so an endless run of them ends too.
  size_t blockSize = 0;
  auto charge = [&](size_t bytes) {
    blockSize += bytes;
    if (blockSize > kMaxHeaderBlockLines * maxLine) throw ENetMaxLineLengthExceeded();
  };
  do {
    reply = THttpResponse();
    reply.ResponseText = source.ReadLn(maxLine);
    reply.ResponseCode = StatusCodeOf(reply.ResponseText);
    charge(reply.ResponseText.size() + 4);
    // A close after the first header line ends the header block; before it, it is an error.
    for (bool first = true;; first = false) {
      std::string line;
      try {
        line = source.ReadLn(maxLine);
      } catch (const ENetConnClosedGracefully&) {
        if (first) throw;
        break;
      }
      if (line.empty()) break;
      charge(line.size() + 2);
      reply.RawHeaders.Lines.push_back(line);
    }
    TakeFields(reply);
    onHead(reply);
  } while (reply.ResponseCode == 100);
}

void ReadReplyBody(TByteSource& source, const THttpResponse& reply, size_t maxLine, TStream& dest) {
  // A negative length tells nowhere where the body ends: reading nothing would leave the
  // body to be read as the next reply, reading to the close would trust a broken reply.
  if (reply.HasContentLength && reply.ContentLength < 0) throw ENetUndefinedSituation(TReason::BadContentLength);
  if (reply.ContentLength > 0) {
    source.ReadCounted(dest, reply.ContentLength);
  } else if (reply.TransferEncoding.find("chunked") != std::string::npos) {
    for (int64_t size = ReadChunkSize(source.ReadLn(maxLine)); size > 0; size = ReadChunkSize(source.ReadLn(maxLine))) {
      if (source.ReadCounted(dest, size) < size) throw ENetConnClosedGracefully();
      source.ReadLn(maxLine);
    }
    source.ReadLn(maxLine);
  } else if (!reply.HasContentLength) {
    source.ReadUntilClose(dest);
  }
}

std::string ReadReplyText(TByteSource& source, const THttpResponse& reply, size_t maxLine, size_t limit) {
  // A text result announced beyond its limit ends at once instead of filling memory.
  if (reply.HasContentLength && reply.ContentLength > 0 && static_cast<uint64_t>(reply.ContentLength) > limit)
    throw ENetUndefinedSituation(TReason::BadContentLength);
  std::string text;
  if (reply.ContentLength > 0) text.reserve(static_cast<size_t>(std::min(reply.ContentLength, kMaxReserve)));
  TTextSink sink(text, limit);
  ReadReplyBody(source, reply, maxLine, sink);
  return text;
}
