// The start of an https connection on any bytes from the other side: the proxy's reply to
// a CONNECT, then what the server sends into the TLS layer. Byte 0: bits 0 to 3 the size of
// the pieces the bytes arrive in (0 for all at once), bit 4 a proxy reply first; the bytes
// follow. What must hold: the outcome (a refusal, the layer's failure, or the end) is the
// same whole and in pieces; every failure is the client's own (ENetException); the layer
// waits no more than once per piece, so it never spins; it always says hello first.
#include <cstdint>
#include <cstring>
#include <string>

#include "http/netexceptions.h"
#include "http/proxy.h"
#include "http/tls.h"
#include "tests/fuzz/fuzzcheck.h"
#include "tests/http/piecesource.h"

namespace {

constexpr size_t kMaxLine = 64;

// The server's bytes, released a piece at each wait; then the server's close.
class TFuzzLink : public TNetLink {
 public:
  TFuzzLink(const std::string& bytes, size_t piece) : bytes_(bytes), piece_(piece ? piece : bytes.size() + 1) {}
  ptrdiff_t RecvSome(char* into, size_t size, int&) noexcept override {
    if (at_ == bytes_.size()) return 0;
    if (at_ == released_) return -1;
    size_t n = std::min(size, released_ - at_);
    std::memcpy(into, bytes_.data() + at_, n);
    at_ += n;
    return static_cast<ptrdiff_t>(n);
  }
  ptrdiff_t SendSome(const char*, size_t size, int&) noexcept override {
    Sent += size;
    return static_cast<ptrdiff_t>(size);
  }
  void Wait(bool write) override {
    ++Waits;
    if (!write) released_ = std::min(bytes_.size(), released_ + piece_);
  }
  size_t Sent = 0;
  size_t Waits = 0;

 private:
  const std::string& bytes_;
  size_t piece_, at_ = 0, released_ = 0;
};

std::string TlsOutcome(const std::string& bytes, size_t piece, size_t* waits = nullptr, size_t* sent = nullptr) {
  TFuzzLink link(bytes, piece);
  std::string out;
  try {
    TTlsLayer layer(link, "fuzz.example", "443");
    layer.Handshake();
    char buf[4096];
    size_t total = 0;
    for (size_t n; (n = layer.Read(buf, sizeof buf)) > 0;) total += n;
    out = "read " + std::to_string(total) + (layer.EndedUncleanly() ? " unclean" : " clean");
  } catch (const ENetException& e) {
    out = e.what();
  }
  if (waits) *waits = link.Waits;
  if (sent) *sent = link.Sent;
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t piece = data[0] & 15;
  std::string bytes = FuzzBytes(data + 1, size - 1);

  if (data[0] & 16) {
    // A reply the tunnel accepts only with a 2xx status; its outcome does not depend on how
    // the bytes arrive. What follows its head goes on to the TLS layer.
    auto tunnel = [&](TPieceSource& source) -> std::string {
      try {
        ReadTunnelReply(source, kMaxLine);
        return "open";
      } catch (const ENetProxyRefused& e) {
        FUZZ_CHECK(e.StatusCode / 100 != 2);
        return e.what();
      } catch (const ENetException& e) {
        return e.what();
      }
    };
    TPieceSource whole(bytes, 0, 0, TPieceEnd::Close);
    const std::string expected = tunnel(whole);
    TPieceSource pieces(bytes, 0, piece, TPieceEnd::Close);
    FUZZ_CHECK(tunnel(pieces) == expected);
    if (expected != "open") return 0;
    bytes = bytes.substr(bytes.size() - pieces.Unread());
  }

  const std::string expected = TlsOutcome(bytes, 0);
  size_t waits = 0, sent = 0;
  FUZZ_CHECK(TlsOutcome(bytes, piece, &waits, &sent) == expected);
  FUZZ_CHECK(sent > 0);
  FUZZ_CHECK(waits <= (piece ? bytes.size() / piece : 0) + 2);
  return 0;
}
