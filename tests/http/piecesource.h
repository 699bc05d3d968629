#pragma once
// A reply handed to the reply reader in pieces, and what reading it gives: shared by the
// reply-reader tests and its fuzz target, which both check that the pieces do not matter.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/stream.h"
#include "http/netexceptions.h"
#include "http/replyreader.h"

// When the bytes run out the peer closes, or stays silent until a read time-out.
enum class TPieceEnd { Close, Hang };

// Hands over the bytes one piece per receive: never across split (0: no split), and at
// most pieceSize bytes at a time (0: no limit).
class TPieceSource : public TByteSource {
 public:
  TPieceSource(const std::string& bytes, size_t split, size_t pieceSize, TPieceEnd end)
      : bytes_(bytes), split_(split), pieceSize_(pieceSize), end_(end) {}
  bool Ended() const { return ended_; }
  size_t Unread() const { return Buffered() + bytes_.size() - at_; }

 protected:
  size_t Receive(char* into, size_t size) override {
    if (at_ == bytes_.size()) {
      if (end_ == TPieceEnd::Hang) throw ENetReadTimeout();
      ended_ = true;
      return 0;
    }
    size_t stop = at_ < split_ ? split_ : bytes_.size();
    if (pieceSize_ > 0) stop = std::min(stop, at_ + pieceSize_);
    size_t n = std::min(stop - at_, size);
    std::memcpy(into, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  const std::string& bytes_;
  size_t split_, pieceSize_, at_ = 0;
  TPieceEnd end_;
  bool ended_ = false;
};

// A body as an outcome shows it: long ones by their size and a checksum.
inline std::string ShownBody(const std::string& body) {
  if (body.size() <= 80) return "[" + body + "]";
  uint32_t sum = 2166136261u;
  for (char c : body) sum = (sum ^ static_cast<unsigned char>(c)) * 16777619u;
  return "[" + std::to_string(body.size()) + " bytes #" + std::to_string(sum) + "]";
}

// What reading a reply gives: the status code of every head read, "closed" when the source
// ended inside the header block, the body, and "+n" for bytes left unread; or the failure
// (an "Undefined situation" with its reason). textLimit 0 reads the body into a stream.
// reply and body, when given, receive the last head and the body bytes.
inline std::string ReplyOutcome(TPieceSource& source, size_t maxLine, size_t textLimit,
                                THttpResponse* reply = nullptr, std::string* body = nullptr) {
  std::string out;
  THttpResponse head;
  std::string bytes;
  try {
    ReadReplyHead(source, maxLine, head, [&](const THttpResponse& r) { out += std::to_string(r.ResponseCode) + " "; });
    if (source.Ended()) out += "closed ";
    if (textLimit == 0) {
      TStringStream stream;
      ReadReplyBody(source, head, maxLine, stream);
      bytes = stream.Data();
    } else {
      bytes = ReadReplyText(source, head, maxLine, textLimit);
    }
    out += ShownBody(bytes);
    if (source.Unread() > 0) out += " +" + std::to_string(source.Unread());
  } catch (const ENetUndefinedSituation& e) {
    using TReason = ENetUndefinedSituation::TReason;
    out = std::string("Undefined situation: ") +
          (e.Reason == TReason::TextBodyTooLarge   ? "TextBodyTooLarge"
           : e.Reason == TReason::BadContentLength ? "BadContentLength"
                                                   : "ClosedAfterHeaders");
  } catch (const ENetException& e) {
    out = e.what();
  }
  if (reply) *reply = head;
  if (body) *body = bytes;
  return out;
}
