// A reply that floods the cookie store, beside the same reply read without a store.
//
//   build/bin/cookie_bench [--benchmark_filter=...]
//
// Flood/*: one reply of 28,000 Set-Cookie lines (one domain, one path, all names
// different), its head read from memory; Store: its cookies go into a fresh store and the
// next request's Cookie header is built; Read: the head alone, the baseline.
// Handful/Store: a reply of five cookies, as the search site sends, for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "http/cookies.h"
#include "http/replyreader.h"

namespace {

constexpr size_t kMaxLine = 16384;

std::string ReplyWithCookies(int count) {
  std::string reply = "HTTP/1.1 200 OK\r\n";
  char line[64];
  for (int i = 0; i < count; ++i) {
    std::snprintf(line, sizeof line, "Set-Cookie: n%05d=v%05d; Path=/\r\n", i, i);
    reply += line;
  }
  return reply + "Content-Length: 2\r\n\r\nok";
}

// The reply bytes as a source, in receives of the client's size.
class TMemorySource : public TByteSource {
 public:
  explicit TMemorySource(const std::string& bytes) : bytes_(bytes) {}

 protected:
  size_t Receive(char* into, size_t size) override {
    size_t n = std::min(size, bytes_.size() - at_);
    std::memcpy(into, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

void Run(benchmark::State& state, int count, bool store) {
  const std::string reply = ReplyWithCookies(count);
  size_t sent = 0;
  for (auto _ : state) {
    TMemorySource source(reply);
    THttpResponse response;
    TCookieStore cookies;
    ReadReplyHead(source, kMaxLine, response, [&](const THttpResponse& head) {
      if (store) cookies.StoreReplyCookies("127.0.0.1", head.RawHeaders);
    });
    if (store) sent = cookies.CookieHeaderFor("127.0.0.1", "/", false).size();
    benchmark::DoNotOptimize(response);
  }
  state.counters["cookie header bytes"] = static_cast<double>(sent);
}

void BM_FloodStore(benchmark::State& state) { Run(state, 28000, true); }
void BM_FloodRead(benchmark::State& state) { Run(state, 28000, false); }
void BM_HandfulStore(benchmark::State& state) { Run(state, 5, true); }

}  // namespace

BENCHMARK(BM_FloodStore)->Name("Flood/Store")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_FloodRead)->Name("Flood/Read")->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_HandfulStore)->Name("Handful/Store")->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

BENCHMARK_MAIN();
