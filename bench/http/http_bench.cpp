// The HTTP client against nginx on loopback, beside libcurl in the same run.
//
//   build/bin/http_bench [--benchmark_filter=...]
//
// On a machine that other work shares, compare means of interleaved repetitions:
//   build/bin/http_bench --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true
//
// Large/*: one GET of a 256 MiB file into a stream that counts and discards the bytes;
// counters: bytes per second and the growth of peak resident memory during the GET.
// Small/*: 2000 sequential GETs of 4 KiB files on one client object (one curl handle),
// the connection kept alive; counter: requests per second.
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "http/httpclient.h"
#include "tests/support/nginx.h"
#include "tests/support/peakrss.h"

namespace {

constexpr size_t kLargeSize = 256u << 20;
constexpr size_t kSmallSize = 4096;
constexpr int kSmallFiles = 2000;

struct TPeer {
  TempDir root;
  std::unique_ptr<NginxPeer> nginx;
  std::vector<std::string> smallUrls;
  std::string largeUrl;
};
TPeer* peer = nullptr;

void WriteFile(const std::string& path, size_t size, unsigned seed) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string block(std::min<size_t>(size, 1u << 20), '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 131 + seed) >> 3);
  for (size_t done = 0; done < size; done += block.size())
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), size - done)));
}

class TDiscard : public TStream {
 public:
  void Write(const char*, size_t size) override { Bytes += size; }
  size_t Bytes = 0;
};

size_t CurlDiscard(char*, size_t size, size_t count, void* bytes) {
  *static_cast<size_t*>(bytes) += size * count;
  return size * count;
}

size_t CurlAppend(char* data, size_t size, size_t count, void* text) {
  static_cast<std::string*>(text)->append(data, size * count);
  return size * count;
}

// Runs one large GET per iteration and reports throughput and the peak memory it added.
template <typename Get>
void MeasureLarge(benchmark::State& state, Get&& get) {
  long growth = 0;
  for (auto _ : state) {
    ResetPeakRss();
    long before = CurrentRssKb();
    size_t bytes = get();
    growth = std::max(growth, PeakRssKb() - before);
    if (bytes != kLargeSize) state.SkipWithError("short body");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kLargeSize));
  state.counters["peak_rss_growth_KiB"] = static_cast<double>(growth);
  state.counters["peak_rss_KiB"] = static_cast<double>(PeakRssKb());
}

void LargeClient(benchmark::State& state) {
  THttpClient client;
  MeasureLarge(state, [&] {
    TDiscard sink;
    client.HttpGetStream(peer->largeUrl, sink);
    return sink.Bytes;
  });
}

void LargeCurl(benchmark::State& state) {
  CURL* curl = curl_easy_init();
  size_t bytes = 0;
  curl_easy_setopt(curl, CURLOPT_URL, peer->largeUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlDiscard);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bytes);
  MeasureLarge(state, [&] {
    bytes = 0;
    curl_easy_perform(curl);
    return bytes;
  });
  curl_easy_cleanup(curl);
}

void SmallClient(benchmark::State& state) {
  for (auto _ : state) {
    THttpClient client;
    for (const std::string& url : peer->smallUrls)
      if (client.HttpGetText(url).size() != kSmallSize) state.SkipWithError("wrong body");
  }
  state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void SmallCurl(benchmark::State& state) {
  for (auto _ : state) {
    CURL* curl = curl_easy_init();
    std::string text;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlAppend);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &text);
    for (const std::string& url : peer->smallUrls) {
      text.clear();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      if (curl_easy_perform(curl) != CURLE_OK || text.size() != kSmallSize) state.SkipWithError("wrong body");
    }
    curl_easy_cleanup(curl);
  }
  state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

BENCHMARK(LargeClient)->Name("Large/THttpClient")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(LargeCurl)->Name("Large/libcurl")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(SmallClient)->Name("Small/THttpClient")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(SmallCurl)->Name("Small/libcurl")->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (NginxBinary().empty()) {
    std::fprintf(stderr, "http_bench: nginx is not installed (scripts/install-deps installs it)\n");
    return 1;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  peer = new TPeer;
  WriteFile(peer->root.File("large.bin").Bytes(), kLargeSize, 1);
  for (int i = 0; i < kSmallFiles; ++i) WriteFile(peer->root.File("s" + std::to_string(i) + ".html").Bytes(), kSmallSize, i);
  peer->nginx = std::make_unique<NginxPeer>(peer->root.Path().Bytes());
  peer->largeUrl = peer->nginx->Url("/large.bin");
  for (int i = 0; i < kSmallFiles; ++i) peer->smallUrls.push_back(peer->nginx->Url("/s" + std::to_string(i) + ".html"));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete peer;
  curl_global_cleanup();
  return 0;
}
