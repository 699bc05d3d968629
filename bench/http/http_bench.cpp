// The HTTP client against nginx on loopback, beside libcurl in the same run, over plain
// HTTP and over TLS (a certificate of a private CA made at start; both clients verify it).
//
//   build/bin/http_bench [--benchmark_filter=...]
//
// On a machine that other work shares, compare medians of interleaved repetitions:
//   build/bin/http_bench --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true
//
// Large/*: one GET of a 256 MiB file into a stream that counts and discards the bytes;
// counters: bytes per second and the growth of peak resident memory during the GET.
// Small/*: 2000 sequential GETs of 4 KiB files on one client object (one curl handle),
// the connection kept alive; counter: requests per second. */tls: the same over https.
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
#include "tests/support/testca.h"

namespace {

constexpr size_t kLargeSize = 256u << 20;
constexpr size_t kSmallSize = 4096;
constexpr int kSmallFiles = 2000;

// The addresses of one way of reaching the peer.
struct TUrls {
  std::vector<std::string> small;
  std::string large;
};

struct TPeer {
  TempDir root;
  std::unique_ptr<NginxPeer> nginx;
  TUrls plain, tls;
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

void LargeClient(benchmark::State& state, const TUrls* urls) {
  THttpClient client;
  MeasureLarge(state, [&] {
    TDiscard sink;
    client.HttpGetStream(urls->large, sink);
    return sink.Bytes;
  });
}

CURL* NewCurl() {
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_CAINFO, TrustedTestCa().CertFile().c_str());
  return curl;
}

void LargeCurl(benchmark::State& state, const TUrls* urls) {
  CURL* curl = NewCurl();
  size_t bytes = 0;
  curl_easy_setopt(curl, CURLOPT_URL, urls->large.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlDiscard);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bytes);
  MeasureLarge(state, [&] {
    bytes = 0;
    curl_easy_perform(curl);
    return bytes;
  });
  curl_easy_cleanup(curl);
}

void SmallClient(benchmark::State& state, const TUrls* urls) {
  for (auto _ : state) {
    THttpClient client;
    for (const std::string& url : urls->small)
      if (client.HttpGetText(url).size() != kSmallSize) state.SkipWithError("wrong body");
  }
  state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

void SmallCurl(benchmark::State& state, const TUrls* urls) {
  for (auto _ : state) {
    CURL* curl = NewCurl();
    std::string text;
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlAppend);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &text);
    for (const std::string& url : urls->small) {
      text.clear();
      curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
      if (curl_easy_perform(curl) != CURLE_OK || text.size() != kSmallSize) state.SkipWithError("wrong body");
    }
    curl_easy_cleanup(curl);
  }
  state.SetItemsProcessed(state.iterations() * kSmallFiles);
}

// Registered at start, once the peer's addresses are known.
void Register() {
  using TFn = void (*)(benchmark::State&, const TUrls*);
  const std::pair<const char*, TFn> runs[] = {
      {"Large/THttpClient", LargeClient}, {"Large/libcurl", LargeCurl},
      {"Small/THttpClient", SmallClient}, {"Small/libcurl", SmallCurl}};
  for (const auto& [name, fn] : runs) {
    for (const auto& [suffix, urls] : {std::make_pair("", &peer->plain), std::make_pair("/tls", &peer->tls)})
      benchmark::RegisterBenchmark((std::string(name) + suffix).c_str(), fn, urls)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime()
          ->MinTime(3);
  }
}

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
  TTestCert cert = TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"});
  peer->nginx = std::make_unique<NginxPeer>(peer->root.Path().Bytes(), &cert);
  for (auto [urls, url] : {std::make_pair(&peer->plain, &NginxPeer::Url), std::make_pair(&peer->tls, &NginxPeer::TlsUrl)}) {
    urls->large = (peer->nginx.get()->*url)("/large.bin");
    for (int i = 0; i < kSmallFiles; ++i) urls->small.push_back((peer->nginx.get()->*url)("/s" + std::to_string(i) + ".html"));
  }
  Register();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  delete peer;
  curl_global_cleanup();
  return 0;
}
