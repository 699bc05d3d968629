// OPS search benchmark: a search of 2,350 records with legal status and families from the
// demo site's OPS role over HTTPS, under OPS's real per-minute limits (search 30, inpadoc
// 60, retrieval 200, other 1000), with 50 ms of latency on every reply.
//
//   build/bin/ops_search_bench [RECORDS]
//
// Prints the run's wall time beside the bound the limits set: each service's requests in
// the run divided by its limit, the largest of them (the services are paced apart, so the
// run can be no faster than its busiest one). The goal is at most 1.1 x the bound: the
// legal and family look-ups, one per family, set the pace; the search pages and the
// date-slice counts, and every reply's reading, hide under it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "base/datadir.h"
#include "base/handover.h"
#include "search/getquery.h"
#include "tests/support/demosite.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLatencyMs = 50;
// The extra battery records that put the H01M query past 2000 hits and give it enough
// applications.
constexpr int kExtra = 3000;
const std::map<std::string, int> kLimits = {{"search", 30}, {"inpadoc", 60}, {"retrieval", 200}, {"other", 1000}};

std::string ServiceOf(const std::string& target) {
  if (target.find("published-data/search") != std::string::npos) return "search";
  if (target.find("/family/") != std::string::npos || target.find("/legal/") != std::string::npos) return "inpadoc";
  if (target.find("published-data/") != std::string::npos) return "retrieval";
  return "other";
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::max(1, atoi(argv[1])) : 2350;
  DemoSite site({"--latency", std::to_string(kLatencyMs), "--ops-extra", std::to_string(kExtra), "--ops-state", "idle"},
                true, true);
  ScopedEnv ca("SSL_CERT_FILE", site.CaFile().Bytes());
  ScopedEnv key("VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey));
  ScopedEnv secret("VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret));
  TempDir root;
  datadir::SetRoot(root.Path());

  TSearchAsk ask;
  ask.classification = "H01M";
  ask.legalStatus = true;
  ask.family = true;
  ask.max = records;
  std::printf("OPS search of %d records (ic=H01M, %d extra records) with legal status and families, %d ms latency\n",
              records, kExtra, kLatencyMs);
  std::fflush(stdout);
  DirectHandOver handOver;
  auto result = std::make_shared<TSearchResult>();
  const auto start = Clock::now();
  new getquery(&handOver, TSourceKind::Ops, ask, result);
  handOver.WaitForEnd();
  const double s = std::chrono::duration<double>(Clock::now() - start).count();
  getquery::WaitAllDone();
  if (handOver.FinishCount() != 1 || !result->error.empty() || int(result->records.size()) != records) {
    std::fprintf(stderr, "the run failed after %zu records: %s\n", result->records.size(), result->error.c_str());
    return 1;
  }
  std::map<std::string, int> requests;
  for (const DemoLogEntry& e : site.Log()) ++requests[ServiceOf(e.target)];
  double bound = 0;
  for (const auto& [service, limit] : kLimits) {
    const double need = requests[service] * 60.0 / limit;
    bound = std::max(bound, need);
    std::printf("  %-9s %5d requests, limit %4d a minute: %7.1f s\n", service.c_str(), requests[service], limit, need);
  }
  std::printf("  %zu records (%ld publications matched); run %.1f s; bound %.1f s; %.3f x the bound\n",
              result->records.size(), long(result->count), s, bound, s / bound);
  return 0;
}
