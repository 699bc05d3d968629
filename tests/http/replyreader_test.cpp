// The reply reader over every way the bytes of a reply can arrive: in two pieces split at
// each byte position, and one byte at a time. A framing fault then shows whatever pieces
// the kernel would have handed over.
#include <gtest/gtest.h>

#include "tests/http/piecesource.h"

namespace {

// A small line limit keeps the hostile replies, and so the runs over their splits, short:
// a header block may hold 64 lines' worth, 4 KiB.
constexpr size_t kMaxLine = 64;
constexpr size_t kStream = 0;  // as a text limit: the body goes to a stream instead
using TEnd = TPieceEnd;

struct TCase {
  std::string reply, expected;
  TEnd end = TEnd::Close;
  size_t textLimit = 1 << 20;
};

// Runs every case byte by byte, whole, and split at every byte position (every 53rd for
// the one long reply); the first difference of a case is reported.
void ExpectAtEverySplit(const std::vector<TCase>& cases) {
  for (size_t i = 0; i < cases.size(); ++i) {
    const TCase& c = cases[i];
    auto check = [&](size_t split, bool bytewise) {
      TPieceSource source(c.reply, split, bytewise ? 1 : 0, c.end);
      std::string got = ReplyOutcome(source, kMaxLine, c.textLimit);
      if (got == c.expected) return true;
      ADD_FAILURE() << "case " << i << (bytewise ? ", byte by byte" : ", split at " + std::to_string(split))
                    << "\n  got:      " << got << "\n  expected: " << c.expected;
      return false;
    };
    size_t step = c.reply.size() > 8192 ? 53 : 1;
    bool ok = check(0, true);
    for (size_t split = 0; ok && split < c.reply.size(); split += step) ok = check(split, false);
  }
}

std::string Ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string Repeated(const std::string& head, const std::string& piece, size_t size) {
  std::string out = head;
  while (out.size() < size) out += piece;
  return out;
}

}  // namespace

TEST(ReplyReader, SoundRepliesAtEverySplit) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  // Over 32 KiB of short chunks, so the input buffer drops its consumed front mid-body.
  std::string manyChunks = Repeated(chunked, "3\r\nabc\r\n", 40000) + "0\r\n\r\n";
  std::string exactLine = "HTTP/1.1 200 " + std::string(kMaxLine - 13, 'k');
  ExpectAtEverySplit({
      {Ok("abc") + "HTTP/1.1 200 OK\r\n", "200 [abc] +17"},
      {chunked + "5\r\nhello\r\n6 ext\r\n world\r\nA\r\n0123456789\r\n0\r\n\r\n", "200 [hello world0123456789]"},
      // One line after the last chunk is read; further trailer lines are left.
      {chunked + "2\r\nab\r\n0\r\nX-Trailer: t\r\n\r\n", "200 [ab] +2"},
      {manyChunks, "200 " + ShownBody(Repeated("", "abc", (manyChunks.size() - chunked.size() - 5) / 8 * 3))},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" + Ok("after"), "100 100 200 [after]"},
      {"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the close", "200 [until the close]"},
      {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(60, 'x'), "200 " + ShownBody(std::string(60, 'x'))},
      {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\nrest", "200 [] +4"},
      {"HTTP/1.1 200 OK\r\nConnection:\r\n  close\r\nX-Long: a\r\n\tb\r\nContent-Length: 1\r\n\r\n1", "200 [1]"},
      {"HTTP/1.1 200 OK\nContent-Length: 2\n\nab", "200 [ab]"},
      // Lines of exactly the limit pass, whether or not the CR comes apart from its LF.
      {exactLine + "\r\nX: " + std::string(kMaxLine - 3, 'h') + "\r\nContent-Length: 1\r\n\r\n1", "200 [1]"},
  });
}

TEST(ReplyReader, HostileRepliesAndTextLimitsAtEverySplit) {
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string maxLine = "Max line length exceeded.";
  const std::string closed = "Connection Closed Gracefully.";
  const std::string body(100, 'b');
  const std::string toClose = "HTTP/1.1 200 OK\r\n\r\n" + body;
  ExpectAtEverySplit({
      {"", closed},
      {"HTTP/1.1 200 O", closed},
      {"HTTP/1.1 200 OK\r\n", closed},
      // A close after a header line ends the block; what the reply is worth is the caller's call.
      {"HTTP/1.1 200 OK\r\nServer: x\r\n", "200 closed []"},
      {"HTTP/1.1 404 Not Found\r\nServer: x\r\nContent-Length: 3\r\n", "404 closed []"},
      {"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 20\r\n\r\nabc", "Read Timeout", TEnd::Hang},
      // A line one byte over the limit; header blocks and runs of interim replies beyond theirs.
      {"HTTP/1.1 200 " + std::string(kMaxLine - 12, 'x') + "\r\n\r\n", maxLine},
      {Repeated("HTTP/1.1 200 OK\r\n", "X-Filler: " + std::string(40, 'f') + "\r\n", 4600), maxLine},
      {Repeated("", "HTTP/1.1 100 Continue\r\n\r\n", 4600), maxLine},
      {chunked + std::string(100, '1'), maxLine},
      // A chunk beyond any real body is read until the close cuts it short.
      {chunked + "FFFFFFFFFFFFFFFFFFFFFFFF\r\nabc", closed},
      {chunked + "5\r\nab", closed},
      {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", "Undefined situation: BadContentLength"},
      {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", "Undefined situation: BadContentLength", TEnd::Hang},
      {"HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000\r\n\r\nabc", "200 [abc]", TEnd::Close, kStream},
      {"HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000\r\n\r\nabc", "Undefined situation: BadContentLength"},
      // An unreadable length counts as none: the body runs to the close.
      {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nrest", "200 [rest]"},
      // A text result ends at its limit, whether the body grows past it or is announced so.
      {toClose, "Undefined situation: TextBodyTooLarge", TEnd::Close, 99},
      {Repeated(chunked, "A\r\n" + std::string(10, 'c') + "\r\n", 200) + "0\r\n\r\n",
       "Undefined situation: TextBodyTooLarge", TEnd::Close, 99},
      {Ok(body), "Undefined situation: BadContentLength", TEnd::Close, 99},
      {toClose, "200 " + ShownBody(body), TEnd::Close, 100},
      {toClose, "200 " + ShownBody(body), TEnd::Close, kStream},
  });
}
