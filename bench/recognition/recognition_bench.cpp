// Recognition benchmark: what a page costs to recognise and what of its text comes back,
// tesseract started once a page (the baseline) against engines inside the process, at
// the settings given, in one run.
//
//   build/bin/recognition_bench [--records N] [--rounds R] [--a4] CONFIG...
//
// A CONFIG is "process" or "engine", then ",key=value" pairs: threads (default 2), lang
// (chi_sim), fallback (eng; none), below (60: the confidence under which a line is read
// again with the fallback), psm (3), drawpsm (11: the segmentation of drawings pages), kinds (1:
// drawings pages are recognised as such, 0: as text), dpi (150; 0: the page's own), invert
// (0), pages (all; text: not the drawings pages; drawings: only them; blank: six pages of
// nothing or dust). Each page of the first N records of 3 to
// 6 pages (default 4) is recognised by a pool of `threads` threads taking pages in turn;
// the configs run one after the other, R rounds of all of them. With --a4 the pages are
// the OPS role's: the same pages scaled to A4 (2480 x 3508) as its scans are. Prints the wall and CPU
// time a page, pages a minute, and the character recall against what the demo site drew
// (all pages, text pages, drawings pages).
#include <sys/resource.h>
#include <tiffio.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/gbk.h"
#include "bench/recognition/processrecogniser.h"
#include "demosite/corpus.h"
#include "demosite/pagetext.h"
#include "demosite/tiffpage.h"
#include "recognition/recognise.h"
#include "recognition/tessmodule.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Page {
  std::string number;
  int page = 0;
  bool drawings = false;
  std::string tiff;   // the page image as the site serves it
  std::string drawn;  // what the site drew on it (UTF-8)
};

std::vector<Page> Pages(const DemoSite& site, size_t records, bool a4) {
  std::vector<Page> pages;
  const DemoCorpus corpus;
  size_t taken = 0;
  for (const DemoRecord& r : corpus.Records()) {
    if (r.type == 3 || r.pages < 3 || r.pages > 6 || taken == records) continue;
    ++taken;
    for (int p = 1; p <= r.pages; ++p) {
      char target[64];
      Page page;
      page.number = r.number;
      page.page = p;
      page.drawings = p == pagetext::SectionsOf(r.pages).drawings;
      snprintf(target, sizeof target, "/books/%s/1/%06d.tif", r.number.c_str(), p);
      if (a4) {
        // The page as the OPS role serves it: drawn at 300 dpi, then scaled to A4.
        const pagetext::Layout text = pagetext::LayoutPage(r, 1, p, r.pages, kTextDpi, TextArea());
        page.tiff = MakePageImages({{r.number, p, r.pages, 1}}, kA4Scan, {text});
      } else {
        page.tiff = site.RawRequest("GET", target).body;
      }
      snprintf(target, sizeof target, "/books/%s/1/%06d.txt", r.number.c_str(), p);
      page.drawn = GbkToUtf8(site.RawRequest("GET", target).body);
      pages.push_back(std::move(page));
    }
  }
  return pages;
}

// A scan of an empty page: white, or with `specks` dots of dust, as a 300 dpi G4 TIFF.
std::string BlankPage(const TPath& dir, int specks) {
  const TPath file = dir + ("/blank" + std::to_string(specks) + ".tif");
  constexpr int kWidth = 2550, kHeight = 3300;
  TIFF* tif = TIFFOpen(file.c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0);
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0);
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kHeight);
  std::vector<unsigned char> row((kWidth + 7) / 8);
  uint64_t seed = 12345;
  auto next = [&] { seed ^= seed << 13; seed ^= seed >> 7; seed ^= seed << 17; return seed; };
  std::vector<std::pair<int, int>> dots;
  for (int k = 0; k < specks; ++k) dots.push_back({int(next() % kWidth), int(next() % kHeight)});
  for (int y = 0; y < kHeight; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (const auto& [dx, dy] : dots)
      if (y >= dy && y < dy + 3)
        for (int x = dx; x < dx + 3 && x < kWidth; ++x) row[size_t(x / 8)] |= 0x80 >> (x % 8);
    TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
  }
  TIFFClose(tif);
  return ReadFileBytes(file);
}

struct Config {
  std::string text;
  bool process = false;
  int threads = 2;
  std::string pages = "all";
  bool kinds = true;  // drawings pages recognised as such
  TRecognitionSettings settings;
};

Config Parse(const std::string& text) {
  Config c;
  c.text = text;
  size_t at = text.find(',');
  const std::string kind = text.substr(0, at);
  if (kind != "process" && kind != "engine") throw std::runtime_error("unknown kind " + kind);
  c.process = kind == "process";
  while (at != std::string::npos) {
    const size_t next = text.find(',', at + 1);
    const std::string pair = text.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
    const size_t eq = pair.find('=');
    const std::string key = pair.substr(0, eq), value = eq == std::string::npos ? "" : pair.substr(eq + 1);
    if (key == "threads") c.threads = std::stoi(value);
    else if (key == "lang") c.settings.language = value;
    else if (key == "fallback") c.settings.fallback = value == "none" ? "" : value;
    else if (key == "below") c.settings.fallbackBelow = std::stoi(value);
    else if (key == "psm") c.settings.pageSegmentation = std::stoi(value);
    else if (key == "dpi") c.settings.dpi = std::stoi(value);
    else if (key == "drawpsm") c.settings.drawingsSegmentation = std::stoi(value);
    else if (key == "kinds") c.kinds = value == "1";
    else if (key == "invert") c.settings.invertedRetry = value == "1";
    else if (key == "pages") c.pages = value;
    else throw std::runtime_error("unknown key " + key);
    at = next;
  }
  return c;
}

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  rusage children{};
  getrusage(RUSAGE_CHILDREN, &children);
  auto s = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
  return s(ru.ru_utime) + s(ru.ru_stime) + s(children.ru_utime) + s(children.ru_stime);
}

struct Outcome {
  double wall = 0, cpu = 0, load = 0;
  int pages = 0;
  std::string drawnAll, foundAll, drawnText, foundText, drawnDrawings, foundDrawings;
};

Outcome Run(const Config& c, const std::vector<Page>& all, const TPath& work) {
  std::vector<const Page*> pages;
  std::vector<Page> blanks;
  if (c.pages == "blank") {
    for (int specks : {0, 0, 0, 200, 200, 2000}) blanks.push_back({"blank", specks, false, BlankPage(work, specks), ""});
    for (const Page& p : blanks) pages.push_back(&p);
  }
  for (const Page& p : all)
    if (c.pages == "all" || (c.pages == "text" && !p.drawings) || (c.pages == "drawings" && p.drawings))
      pages.push_back(&p);
  std::vector<std::string> found(pages.size());
  std::atomic<size_t> next{0};
  std::atomic<long long> loadNs{0};
  std::mutex failures;
  const double cpu0 = CpuSeconds();
  const auto start = Clock::now();
  auto worker = [&] {
    const auto t0 = Clock::now();
    std::unique_ptr<TRecognitionEngine> engine =
        c.process ? std::make_unique<TRecognitionEngine>(std::make_unique<TProcessRecogniser>(work))
                  : std::make_unique<TRecognitionEngine>(c.settings);
    loadNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count();
    for (size_t i; (i = next++) < pages.size();) {
      try {
        const TPageKind kind = c.kinds && pages[i]->drawings ? TPageKind::Drawings : TPageKind::Text;
        found[i] = GbkToUtf8(engine->Recognise(pages[i]->tiff, kind).Text());
      } catch (const EOcrError& e) {
        std::lock_guard<std::mutex> lock(failures);
        std::fprintf(stderr, "page %s/%d: %s\n", pages[i]->number.c_str(), pages[i]->page, e.what());
      }
    }
  };
  std::vector<std::thread> threads;
  for (int k = 0; k < c.threads; ++k) threads.emplace_back(worker);
  for (std::thread& t : threads) t.join();
  Outcome o;
  o.wall = std::chrono::duration<double>(Clock::now() - start).count();
  o.cpu = CpuSeconds() - cpu0;
  o.load = double(loadNs) / 1e9 / std::max(1, c.threads);
  o.pages = int(pages.size());
  for (size_t i = 0; i < pages.size(); ++i) {
    o.drawnAll += pages[i]->drawn;
    o.foundAll += found[i];
    (pages[i]->drawings ? o.drawnDrawings : o.drawnText) += pages[i]->drawn;
    (pages[i]->drawings ? o.foundDrawings : o.foundText) += found[i];
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  size_t records = 4;
  int rounds = 1;
  bool a4 = false;
  std::vector<Config> configs;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--records") && i + 1 < argc) records = size_t(std::max(1, atoi(argv[++i])));
    else if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, atoi(argv[++i]));
    else if (!std::strcmp(argv[i], "--a4")) a4 = true;
    else configs.push_back(Parse(argv[i]));
  }
  if (configs.empty()) configs = {Parse("process"), Parse("engine")};
  DemoSite site;
  TempDir work;
  const std::vector<Page> pages = Pages(site, records, a4);
  int drawings = 0;
  for (const Page& p : pages) drawings += p.drawings;
  std::printf("%zu pages (%d of drawings) of %zu records; %u cores\n", pages.size(), drawings, records,
              std::thread::hardware_concurrency());
  for (int r = 1; r <= rounds; ++r) {
    for (const Config& c : configs) {
      const Outcome o = Run(c, pages, work.Path());
      auto recall = [](const std::string& d, const std::string& f) { return d.empty() ? 0.0 : CharacterRecall(d, f); };
      std::printf("round %d %-48s %5.2f s/page wall, %5.2f s/page CPU, %6.1f pages/min, load %.2f s; recall %.4f "
                  "(text %.4f, drawings %.4f)\n",
                  r, c.text.c_str(), o.wall / o.pages, o.cpu / o.pages, 60 * o.pages / o.wall, o.load,
                  recall(o.drawnAll, o.foundAll), recall(o.drawnText, o.foundText),
                  recall(o.drawnDrawings, o.foundDrawings));
      std::fflush(stdout);
    }
  }
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("peak memory of this process: %ld MB\n", ru.ru_maxrss / 1024);
  return 0;
}
