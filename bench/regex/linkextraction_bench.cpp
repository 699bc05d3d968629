// Extracts every record link from synthetic multi-megabyte result pages with
// the record-link pattern, with TPatternMatcher and with PCRE2 without and
// with JIT, and checks first that all of them find the same links. Pages of
// two kinds: "dense", a row per record with the link twice and some text, and
// "sparse", a page of long abstracts with one link per 2 KB or so of GBK
// text; each of 4 MB and ("dense8", "sparse8") of 8 MB.
//
// Three ways: the engine alone on the whole page, given as the caller's page
// (which the engine copies) and handed over (the copy made while the clock is
// stopped); and the program's own way, RecordLinks handed the page: the rows
// found between their markers and every second link of them, where PCRE2-JIT
// finds the same markers and takes the same links in place.
// Run with --benchmark_repetitions=N --benchmark_enable_random_interleaving
// on a shared machine; the ratios of the medians are printed at the end.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "regex/patternmatcher.h"
#include "sources/site/siteops.h"

namespace {

const std::string kLinkPattern = "href\\s*=\\s*[\"\"]?[\"\"]([^\"\">]+?)[\"\"]";

// GBK text: two-byte characters with lead 0xB0-0xF7 and trail 0xA1-0xFE.
std::string GbkText(std::mt19937& rng, size_t chars) {
  std::string s;
  s.reserve(chars * 2);
  for (size_t i = 0; i < chars; ++i) {
    s.push_back(char(0xB0 + rng() % 0x48));
    s.push_back(char(0xA1 + rng() % 0x5E));
  }
  return s;
}

// A result page like the search site's: a table row per record with the
// record link twice, cells of Chinese text, and long runs of abstract text
// with some ASCII markup in between; `bytes` long, with abstracts of `text`
// to `text + spread` characters and `tail` more.
std::string DensePageOf(size_t bytes, int text, int spread, int tail) {
  std::mt19937 rng(936);
  std::string p =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
      "<link href=\"/css/main.css\" rel=\"stylesheet\"></head><body>\n";
  int record = 0;
  while (p.size() < bytes) {
    std::string link = "detail.jsp?recid=CN" + std::to_string(2000000 + record) +
                       ".7&leixin=fmzl&title=" + GbkText(rng, 8) + "&ipc=H01M10/0" + std::to_string(record % 97);
    p += "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">\n"
         "  <td height=\"22\" align=\"center\" class=\"zi_zw\">" + std::to_string(record + 1) + "</td>\n"
         "  <td><a href=\"" + link + "\" target=\"_blank\">" + GbkText(rng, 12) + "</a></td>\n"
         "  <td><a href = \"" + link + "\" class=\"lk\">" + GbkText(rng, 4) + "</a></td>\n"
         "  <td width=\"60%\" style=\"text-align:left\">" + GbkText(rng, size_t(text) + rng() % unsigned(spread)) +
         " (the highest hydrogen-rich chemistry) " + GbkText(rng, size_t(tail)) + "</td>\n</tr>\n";
    ++record;
  }
  p += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">"
       "</table></body></html>\n";
  return p;
}

// A result page with the full abstracts: per record a header row with the
// link, then four paragraphs of `text` to `text + 80` GBK characters and a
// few plain cells; `bytes` long.
std::string SparsePageOf(size_t bytes, int text) {
  std::mt19937 rng(20080106);
  std::string p =
      "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
      "<title>" + GbkText(rng, 10) + "</title>\n<style>td{font-size:12px}</style></head><body>\n"
      "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\">\n";
  int record = 0;
  while (p.size() < bytes) {
    std::string link = "detail.jsp?recid=CN" + std::to_string(3000000 + record) + ".X&leixin=syxx&title=" +
                       GbkText(rng, 6) + "&ipc=G06F17/3" + std::to_string(record % 89);
    p += "<tr><td class=\"zi_zw\">" + std::to_string(record + 1) + "</td><td><a href=\"" + link +
         "\" target=\"_blank\">" + GbkText(rng, 14) + "</a></td></tr>\n<tr><td colspan=\"2\">";
    for (int para = 0; para < 4; ++para)
      p += "<p>" + GbkText(rng, size_t(text) + rng() % 80) + "</p>\n";
    p += "</td></tr>\n<tr><td>" + GbkText(rng, 6) + "</td><td>" + std::to_string(2003 + record % 5) + "." +
         std::to_string(1 + record % 12) + "." + std::to_string(1 + record % 28) + "</td></tr>\n";
    ++record;
  }
  // The site ends the rows with a table of its own; the cut for the record
  // links ends there.
  p += "</table><table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" "
       "class=\"table2\"></table></body></html>\n";
  return p;
}

// The 4 MB pages: a link per 1.1 KB and per 2.4 KB.
const std::string& DensePage() {
  static const std::string page = DensePageOf(4 * 1024 * 1024, 400, 400, 300);
  return page;
}
const std::string& SparsePage() {
  static const std::string page = SparsePageOf(4 * 1024 * 1024, 220);
  return page;
}
// Large result pages: 8 MB, a link per 770 bytes and per 2.3 KB.
const std::string& Dense8Page() {
  static const std::string page = DensePageOf(8 * 1024 * 1024, 250, 200, 170);
  return page;
}
const std::string& Sparse8Page() {
  static const std::string page = SparsePageOf(8 * 1024 * 1024, 210);
  return page;
}

std::vector<std::string> WithEngine(const std::string& page) {
  TPatternMatcher m;
  m.SetExpression(kLinkPattern);
  std::vector<std::string> links;
  for (bool found = m.Exec(page); found; found = m.ExecNext()) links.push_back(m.MatchText(1));
  return links;
}

class Pcre {
 public:
  explicit Pcre(bool jit) {
    int err;
    PCRE2_SIZE off;
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kLinkPattern.data()), kLinkPattern.size(), 0, &err, &off,
                          nullptr);
    if (!code_) std::abort();
    if (jit && pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE) != 0) std::abort();
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
    options_ = jit ? 0 : PCRE2_NO_JIT;
  }
  ~Pcre() {
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }

  // Same stepping as ExecNext: on from the end of the last match, one byte
  // further after an empty one; group 1 of every `every`th match from the
  // first, in the first `size` bytes of the page from offset on.
  std::vector<std::string> Links(const std::string& page, int every = 1, size_t offset = 0,
                                 size_t size = std::string::npos) {
    std::vector<std::string> links;
    auto subject = reinterpret_cast<PCRE2_SPTR>(page.data());
    size = std::min(size, page.size());
    for (int n = 0; offset <= size && pcre2_match(code_, subject, size, offset, options_, data_, nullptr) > 1;
         ++n) {
      PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
      if (n % every == 0) links.push_back(page.substr(ov[2], ov[3] - ov[2]));
      offset = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
    return links;
  }

  // What RecordLinks gives (each record's row links it twice), found where
  // the rows stand in the page.
  std::vector<std::string> RowLinks(const std::string& page) {
    const TRecordRows rows = RecordRowsOf(page);
    if (rows.last == 0) return {};
    return Links(page, 2, size_t(rows.first - 1), size_t(rows.last));
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  uint32_t options_ = 0;
};

std::vector<std::string> WithRecordLinks(const std::string& page) {
  RecordLinks rows(std::string{page});
  std::vector<std::string> links;
  for (std::string link; rows.Next(link);) links.push_back(std::move(link));
  return links;
}

template <typename Extract>
void Measure(benchmark::State& state, const std::string& page, Extract extract) {
  size_t n = 0;
  for (auto _ : state) {
    auto links = extract(page);
    n = links.size();
    benchmark::DoNotOptimize(links.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
  state.counters["links"] = double(n);
}

using PageFn = const std::string& (*)();

void BM_TPatternMatcher(benchmark::State& state, PageFn page) { Measure(state, page(), WithEngine); }

void BM_Pcre2Interpreter(benchmark::State& state, PageFn page) {
  Pcre pcre(false);
  Measure(state, page(), [&](const std::string& p) { return pcre.Links(p); });
}

void BM_Pcre2Jit(benchmark::State& state, PageFn page) {
  Pcre pcre(true);
  Measure(state, page(), [&](const std::string& p) { return pcre.Links(p); });
}

// The page handed over: the copy that stands for the page as the program got
// it is made, and what take leaves holding it is freed, while the clock is
// stopped.
template <typename Take>
void MeasureHandedOver(benchmark::State& state, const std::string& text, Take take) {
  size_t n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::string given = text;
    state.ResumeTiming();
    std::vector<std::string> links;
    auto holder = take(std::move(given), links);
    n = links.size();
    benchmark::DoNotOptimize(links.data());
    state.PauseTiming();
    holder.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
  state.counters["links"] = double(n);
}

void BM_TPatternMatcherOwned(benchmark::State& state, PageFn page) {
  MeasureHandedOver(state, page(), [](std::string&& given, std::vector<std::string>& links) {
    auto m = std::make_unique<TPatternMatcher>();
    m->SetExpression(kLinkPattern);
    for (bool found = m->Exec(std::move(given)); found; found = m->ExecNext()) links.push_back(m->MatchText(1));
    return m;
  });
}

// The program's way: the search worker hands its page over to RecordLinks.
void BM_RecordLinks(benchmark::State& state, PageFn page) {
  MeasureHandedOver(state, page(), [](std::string&& given, std::vector<std::string>& links) {
    auto rows = std::make_unique<RecordLinks>(std::move(given));
    for (std::string link; rows->Next(link);) links.push_back(std::move(link));
    return rows;
  });
}

void BM_Pcre2JitRows(benchmark::State& state, PageFn page) {
  Pcre pcre(true);
  Measure(state, page(), [&](const std::string& p) { return pcre.RowLinks(p); });
}

double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

#define PAGE_BENCHMARKS(fn)                                                                     \
  BENCHMARK_CAPTURE(fn, dense, DensePage)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Min);   \
  BENCHMARK_CAPTURE(fn, sparse, SparsePage)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Min); \
  BENCHMARK_CAPTURE(fn, dense8, Dense8Page)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Min); \
  BENCHMARK_CAPTURE(fn, sparse8, Sparse8Page)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Min)

PAGE_BENCHMARKS(BM_TPatternMatcher);
PAGE_BENCHMARKS(BM_TPatternMatcherOwned);
PAGE_BENCHMARKS(BM_Pcre2Interpreter);
PAGE_BENCHMARKS(BM_Pcre2Jit);
PAGE_BENCHMARKS(BM_RecordLinks);
PAGE_BENCHMARKS(BM_Pcre2JitRows);

// The console output, and at the end the engine's throughput as a multiple of
// each PCRE2 variant's, per page, from the medians (or single runs) of this run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved run reads plainly.
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (!single && run.aggregate_name != "median") continue;
      std::string name = run.run_name.function_name;  // "BM_Engine/page"
      std::string page = run.run_name.args;
      if (page.empty()) {
        size_t slash = name.find('/');
        if (slash != std::string::npos) {
          page = name.substr(slash + 1);
          name = name.substr(0, slash);
        }
      }
      cpu_[page][name] = run.GetAdjustedCPUTime();
    }
  }
  void Finalize() override {
    // Each of ours with the baselines that do the same work.
    const std::pair<const char*, std::vector<const char*>> pairs[] = {
        {"BM_TPatternMatcher", {"BM_Pcre2Interpreter", "BM_Pcre2Jit"}},
        {"BM_TPatternMatcherOwned", {"BM_Pcre2Jit"}},
        {"BM_RecordLinks", {"BM_Pcre2JitRows"}}};
    for (const auto& [page, times] : cpu_) {
      for (const auto& [mine, others] : pairs) {
        auto ours = times.find(mine);
        if (ours == times.end()) continue;
        std::printf("%s page: %s %.3f ms", page.c_str(), mine + 3, ours->second);
        for (const char* other : others) {
          auto it = times.find(other);
          if (it != times.end())
            std::printf(", %s %.3f ms (ours %.2fx its throughput)", other + 3, it->second, it->second / ours->second);
        }
        std::printf(" [CPU time; the median when repeated]\n");
      }
    }
    ConsoleReporter::Finalize();
  }

 private:
  std::map<std::string, std::map<std::string, double>> cpu_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::pair<const char*, PageFn> pages[] = {
      {"dense", DensePage}, {"sparse", SparsePage}, {"dense8", Dense8Page}, {"sparse8", Sparse8Page}};
  for (auto [name, page] : pages) {
    const std::string& text = page();
    auto ours = WithEngine(text);
    auto interpreted = Pcre(false).Links(text);
    auto jitted = Pcre(true).Links(text);
    auto rows = WithRecordLinks(text);
    auto jitted_rows = Pcre(true).RowLinks(text);
    if (ours.empty() || ours != interpreted || ours != jitted || rows.empty() || rows != jitted_rows) {
      std::fprintf(stderr, "engines disagree: %zu / %zu / %zu links, %zu / %zu record links\n", ours.size(),
                   interpreted.size(), jitted.size(), rows.size(), jitted_rows.size());
      return 1;
    }
    std::printf("%s page %zu bytes, %zu links (one per %zu bytes), %zu record links, the same in every engine\n",
                name, text.size(), ours.size(), text.size() / ours.size(), rows.size());
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
