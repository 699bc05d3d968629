// Batch benchmark: 30 records of 10 pages each from the demo site with 50 ms of latency
// on every reply, as from a distant site, downloaded with --jobs 1 and with --jobs 4.
//
//   build/bin/batch_bench [ROUNDS]
//
// Prints the wall time of each run beside the network bound of the same run: every
// request of the run (list, detail and page requests) times the latency, divided by the
// jobs. The tools (tiffcp, tiff2pdf) come on top of that bound.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/datadir.h"
#include "demosite/corpus.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "tests/support/demosite.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 30;
constexpr int kPages = 10;
constexpr int kLatencyMs = 50;
constexpr int kRequestsPerRecord = 2 + kPages;  // list, detail, pages

std::vector<std::string> Numbers() {
  DemoCorpus corpus(kPages);
  std::vector<std::string> numbers;
  for (const DemoRecord& r : corpus.Records())
    if (r.type != 3 && numbers.size() < size_t(kRecords)) numbers.push_back(r.number);
  return numbers;
}

// One run into a fresh data root; the wall time in seconds, or -1 when a number failed.
double Run(const std::vector<std::string>& numbers, int jobs) {
  TempDir root;
  datadir::SetRoot(root.Path());
  DirectHandOver handOver;
  auto result = std::make_shared<TDownloadResult>();
  TBatchOptions options;
  options.jobs = jobs;
  auto start = Clock::now();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  getdown::WaitAllDone();
  for (const TNumberOutcome& o : result->numbers)
    if (o.status != TNumberOutcome::TStatus::Done) return -1;
  return handOver.FinishCount() == 1 ? s : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 2;
  std::vector<std::string> numbers = Numbers();
  DemoSite site({"--latency", std::to_string(kLatencyMs), "--pages", std::to_string(kPages)});
  const int requests = kRecords * kRequestsPerRecord;
  std::printf("batch of %d records x %d pages, %d ms latency per reply, %d requests per run, %d rounds\n", kRecords,
              kPages, kLatencyMs, requests, rounds);
  if (Run(numbers, 8) < 0) {  // warm-up: the site draws each page image once
    std::fprintf(stderr, "the warm-up run failed\n");
    return 1;
  }
  double best1 = 1e9, best4 = 1e9;
  for (int r = 0; r < rounds; ++r) {
    for (int jobs : {1, 4}) {
      double s = Run(numbers, jobs);
      if (s < 0) {
        std::fprintf(stderr, "a run with --jobs %d failed\n", jobs);
        return 1;
      }
      double bound = requests * kLatencyMs / 1000.0 / jobs;
      std::printf("  round %d, --jobs %d: %.2f s; network bound %.2f s; %.2f x the bound\n", r + 1, jobs, s, bound,
                  s / bound);
      (jobs == 1 ? best1 : best4) = std::min(jobs == 1 ? best1 : best4, s);
    }
  }
  const double bound4 = requests * kLatencyMs / 1000.0 / 4;
  std::printf("best: --jobs 1 %.2f s, --jobs 4 %.2f s: %.2f x faster; --jobs 4 at %.2f x its network bound (%.2f s)\n",
              best1, best4, best1 / best4, best4 / bound4, bound4);
  return 0;
}
