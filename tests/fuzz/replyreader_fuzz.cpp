// The reply reader over a byte source, on any reply. Byte 0: bits 0 to 3 the size of the
// pieces the source hands over (0 for any size), bit 4 a peer that goes silent at the end
// instead of closing, bit 5 the body into a stream instead of a text; the reply follows.
// What must hold: the outcome (heads, body, bytes left, or the failure) is the same for
// the reply whole and in pieces; failures are the client's own (ENetException); header
// lines keep the line limit and the block its limit; a body never holds more than the
// bytes after its head, nor more than its Content-Length, nor a text more than its limit.
#include <cstdint>
#include <string>

#include "tests/fuzz/fuzzcheck.h"
#include "tests/http/piecesource.h"

namespace {

constexpr size_t kMaxLine = 64;     // small, so the fuzzer meets every limit quickly
constexpr size_t kTextLimit = 512;  // the same for the text results

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string reply = FuzzBytes(data + 1, size - 1);
  const size_t pieceSize = data[0] & 15;
  const TPieceEnd end = data[0] & 16 ? TPieceEnd::Hang : TPieceEnd::Close;
  const size_t textLimit = data[0] & 32 ? 0 : kTextLimit;

  TPieceSource whole(reply, 0, 0, end);
  const std::string expected = ReplyOutcome(whole, kMaxLine, textLimit);
  TPieceSource pieces(reply, 0, pieceSize, end);
  THttpResponse head;
  std::string body;
  FUZZ_CHECK(ReplyOutcome(pieces, kMaxLine, textLimit, &head, &body) == expected);

  size_t block = 0;
  for (const std::string& line : head.RawHeaders.Lines) {
    FUZZ_CHECK(line.size() <= kMaxLine);
    block += line.size();
  }
  FUZZ_CHECK(head.ResponseText.size() <= kMaxLine && block <= 64 * kMaxLine);
  FUZZ_CHECK(body.size() <= reply.size());
  if (head.ContentLength > 0) FUZZ_CHECK(body.size() <= static_cast<uint64_t>(head.ContentLength));
  if (textLimit > 0) FUZZ_CHECK(body.size() <= textLimit);
  return 0;
}
