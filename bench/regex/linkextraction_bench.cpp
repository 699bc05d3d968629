// Extracts every record link from a synthetic multi-megabyte result page with
// the record-link pattern, with TPatternMatcher and with PCRE2 without and
// with JIT, and checks first that all three find the same links.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "regex/patternmatcher.h"

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
// with some ASCII markup in between.
const std::string& Page() {
  static const std::string page = [] {
    std::mt19937 rng(936);
    std::string p =
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"
        "<link href=\"/css/main.css\" rel=\"stylesheet\"></head><body>\n";
    int record = 0;
    while (p.size() < 4 * 1024 * 1024) {
      std::string link = "detail.jsp?recid=CN" + std::to_string(2000000 + record) +
                         ".7&leixin=fmzl&title=" + GbkText(rng, 8) + "&ipc=H01M10/0" + std::to_string(record % 97);
      p += "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">\n"
           "  <td height=\"22\" align=\"center\" class=\"zi_zw\">" + std::to_string(record + 1) + "</td>\n"
           "  <td><a href=\"" + link + "\" target=\"_blank\">" + GbkText(rng, 12) + "</a></td>\n"
           "  <td><a href = \"" + link + "\" class=\"lk\">" + GbkText(rng, 4) + "</a></td>\n"
           "  <td width=\"60%\" style=\"text-align:left\">" + GbkText(rng, 400 + rng() % 400) +
           " (the highest hydrogen-rich chemistry) " + GbkText(rng, 300) + "</td>\n</tr>\n";
      ++record;
    }
    p += "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">"
         "</table></body></html>\n";
    return p;
  }();
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
  // further after an empty one.
  std::vector<std::string> Links(const std::string& page) {
    std::vector<std::string> links;
    auto subject = reinterpret_cast<PCRE2_SPTR>(page.data());
    size_t offset = 0;
    while (offset <= page.size() &&
           pcre2_match(code_, subject, page.size(), offset, options_, data_, nullptr) > 1) {
      PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data_);
      links.push_back(page.substr(ov[2], ov[3] - ov[2]));
      offset = ov[1] + (ov[1] == ov[0] ? 1 : 0);
    }
    return links;
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
  uint32_t options_ = 0;
};

template <typename Extract>
void Measure(benchmark::State& state, Extract extract) {
  size_t n = 0;
  for (auto _ : state) {
    auto links = extract(Page());
    n = links.size();
    benchmark::DoNotOptimize(links.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Page().size()));
  state.counters["links"] = double(n);
}

void BM_TPatternMatcher(benchmark::State& state) { Measure(state, WithEngine); }

void BM_Pcre2Interpreter(benchmark::State& state) {
  Pcre pcre(false);
  Measure(state, [&](const std::string& page) { return pcre.Links(page); });
}

void BM_Pcre2Jit(benchmark::State& state) {
  Pcre pcre(true);
  Measure(state, [&](const std::string& page) { return pcre.Links(page); });
}

BENCHMARK(BM_TPatternMatcher)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2Interpreter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pcre2Jit)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  const std::string& page = Page();
  auto ours = WithEngine(page);
  auto interpreted = Pcre(false).Links(page);
  auto jitted = Pcre(true).Links(page);
  if (ours.empty() || ours != interpreted || ours != jitted) {
    std::fprintf(stderr, "engines disagree: %zu / %zu / %zu links\n", ours.size(), interpreted.size(),
                 jitted.size());
    return 1;
  }
  std::printf("page %zu bytes, %zu links, same in all three engines\n", page.size(), ours.size());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
