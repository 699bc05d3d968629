// OPS batch benchmark: 20 records x 10 pages from the demo site's OPS role over HTTPS,
// with the images service limited to 200 requests a minute and 50 ms of latency on every
// reply, downloaded with --jobs 1 and with --jobs 4.
//
//   build/bin/ops_bench [ROUNDS]
//
// Prints each run's wall time beside the bound the limit sets: the run's page requests
// divided by the limit (200 pages at 200 a minute: 60 s). The goal is at most 1.1 x the
// bound: pacing evenly, never a burst and then a stall, with everything else (searches for
// the records, image inquiries, the tools) hidden under the page fetches.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/datadir.h"
#include "demosite/corpus.h"
#include "demosite/opscorpus.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "download/pages.h"
#include "tests/support/demosite.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 20;
constexpr int kPages = 10;
constexpr int kLatencyMs = 50;
constexpr int kImagesPerMinute = 200;
// Records the OPS role has images of, each downloaded as its one grant or application.
std::vector<std::string> Numbers() {
  DemoCorpus corpus(kPages);
  OpsCorpus ops(corpus, 0, kPages);
  std::vector<std::string> numbers;
  for (const OpsRecord& r : ops.Records())
    if (r.hasImages && !r.Pct() && numbers.size() < size_t(kRecords)) numbers.push_back(r.application);
  return numbers;
}

// One run into a fresh data root: its wall time in seconds, -1 when a record failed.
double Run(const std::vector<std::string>& numbers, int jobs) {
  TempDir root;
  datadir::SetRoot(root.Path());
  DirectHandOver handOver;
  auto result = std::make_shared<TDownloadResult>();
  TBatchOptions options;
  options.jobs = jobs;
  options.source = TSourceKind::Ops;
  const auto start = Clock::now();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  getdown::WaitAllDone();
  for (const TNumberOutcome& o : result->numbers)
    if (o.status != TNumberOutcome::TStatus::Done || o.pages != kPages) {
      std::fprintf(stderr, "%s: %s\n", o.number.c_str(), o.error.c_str());
      return -1;
    }
  return handOver.FinishCount() == 1 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1;
  const std::vector<std::string> numbers = Numbers();
  DemoSite site({"--latency", std::to_string(kLatencyMs), "--pages", std::to_string(kPages), "--ops-limit",
                 "images=" + std::to_string(kImagesPerMinute)},
                false, true);
  ScopedEnv ca("SSL_CERT_FILE", site.CaFile().Bytes());
  ScopedEnv key("VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey));
  ScopedEnv secret("VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret));
  const int pages = kRecords * kPages;
  const double bound = pages * 60.0 / kImagesPerMinute;
  std::printf("OPS batch of %zu records x %d pages, images limited to %d a minute, %d ms latency; bound %.1f s\n",
              numbers.size(), kPages, kImagesPerMinute, kLatencyMs, bound);
  for (int r = 0; r < rounds; ++r) {
    for (int jobs : {1, 4}) {
      // Each run starts with a fresh minute: the limit counts the requests of the last 60 s.
      if (r > 0 || jobs > 1) std::this_thread::sleep_for(std::chrono::seconds(61));
      const TToolTimes before = ToolTimesSoFar();
      const double s = Run(numbers, jobs);
      const TToolTimes after = ToolTimesSoFar();
      if (s < 0) {
        std::fprintf(stderr, "a run with --jobs %d failed\n", jobs);
        return 1;
      }
      std::printf("  round %d, --jobs %d: %.1f s; bound %.1f s; %.3f x the bound (tools: %.0f ms a merge, %.0f ms a "
                  "conversion)\n",
                  r + 1, jobs, s, bound, s / bound,
                  (after.mergeNs - before.mergeNs) / 1e6 / std::max<int64_t>(1, after.merges - before.merges),
                  (after.convertNs - before.convertNs) / 1e6 / std::max<int64_t>(1, after.converts - before.converts));
      std::fflush(stdout);
    }
  }
  return 0;
}
