// Download benchmark: 20 records of 30 pages each from the demo site on loopback.
//
//   build/bin/download_bench [ROUNDS]
//
// Prints, for the measured worker runs, pages per second and the share of the run spent
// in tiffcp and tiff2pdf; beside it, in the same process and against the same site,
// baselines: the pages fetched alone with the program's client and with libcurl (both
// kept alive, into files), and the two tools run alone on the fetched pages.
#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "base/stream.h"
#include "base/tools.h"
#include "demosite/corpus.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "download/pages.h"
#include "http/httpclient.h"
#include "sources/site/siteops.h"
#include "base/datadir.h"
#include "tests/support/demosite.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRecords = 20;
constexpr int kPages = 30;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

long PeakRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

// 20 list entries, cycling through the corpus's records of exactly 30 pages.
std::vector<std::string> ThirtyPageNumbers() {
  DemoCorpus corpus;
  std::vector<std::string> distinct;
  for (const DemoRecord& r : corpus.Records())
    if (r.pages == kPages && r.type != 3) distinct.push_back(r.number);
  std::vector<std::string> numbers;
  for (int i = 0; !distinct.empty() && i < kRecords; ++i) numbers.push_back(distinct[size_t(i) % distinct.size()]);
  return numbers;
}

double RunWorker(const std::vector<std::string>& numbers, bool& finished) {
  DirectHandOver handOver;
  auto start = Clock::now();
  new getdown(&handOver, numbers);
  handOver.WaitForEnd();
  double s = Seconds(Clock::now() - start);
  finished = handOver.FinishCount() == 1;
  // The worker releases its lock right after the hand-over; let it go before the next run.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return s;
}

std::vector<std::string> PageAddresses(const std::vector<std::string>& numbers) {
  std::vector<std::string> urls;
  for (const std::string& n : numbers) {
    std::string link = FirstRecordLink(PostResultList("1", "\xc9\xea\xc7\xeb\xba\xc5=('CN%" + n + "%') "));
    TPageList list = ReadPageList(FetchDetailPage(link));
    for (int p = 1; p <= list.pageCount; ++p) urls.push_back(list.imageBase + PageFileName(p));
  }
  return urls;
}

size_t CurlWrite(char* data, size_t size, size_t n, void* file) { return fwrite(data, size, n, static_cast<FILE*>(file)); }

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
  std::vector<std::string> numbers = ThirtyPageNumbers();
  if (numbers.size() != size_t(kRecords)) {
    std::fprintf(stderr, "the corpus has no 30-page records\n");
    return 1;
  }
  DemoSite site;
  TempDir root;
  datadir::SetRoot(root.Path());
  const int pages = kRecords * kPages;
  std::printf("download of %d records x %d pages (%d pages) from %s, %d measured rounds\n", kRecords, kPages, pages,
              site.Address().c_str(), rounds);

  bool ok = false;
  RunWorker(numbers, ok);  // warm-up: the site draws each page image once and caches it
  if (!ok) {
    std::fprintf(stderr, "the warm-up run ended early\n");
    return 1;
  }
  long rssAfterWarmUp = PeakRssKb();

  double best = 1e9, sumWall = 0, sumMerge = 0, sumConvert = 0;
  for (int i = 0; i < rounds; ++i) {
    TToolTimes before = ToolTimesSoFar();
    double wall = RunWorker(numbers, ok);
    TToolTimes after = ToolTimesSoFar();
    if (!ok || after.merges - before.merges != pages || after.converts - before.converts != kRecords) {
      std::fprintf(stderr, "round %d did not merge every page\n", i + 1);
      return 1;
    }
    double merge = (after.mergeNs - before.mergeNs) / 1e9, convert = (after.convertNs - before.convertNs) / 1e9;
    std::printf("  worker run %d: %.3f s, %.1f pages/s, tiffcp %.3f s (%.1f%%), tiff2pdf %.3f s (%.1f%%)\n", i + 1,
                wall, pages / wall, merge, 100 * merge / wall, convert, 100 * convert / wall);
    best = std::min(best, wall);
    sumWall += wall;
    sumMerge += merge;
    sumConvert += convert;
  }
  std::printf("worker: best %.1f pages/s, mean %.1f pages/s; time in tiffcp %.1f%%, in tiff2pdf %.1f%%, "
              "in both %.1f%%\n",
              pages / best, pages * rounds / sumWall, 100 * sumMerge / sumWall, 100 * sumConvert / sumWall,
              100 * (sumMerge + sumConvert) / sumWall);
  std::printf("peak RSS: %ld KiB after the warm-up, %ld KiB after the measured runs\n", rssAfterWarmUp, PeakRssKb());

  // Baselines on the same pages: transfer only, then the tools only.
  std::vector<std::string> urls = PageAddresses(numbers);
  const TPath fetchDir = root.Path() + "/fetch/";
  ForceDirectories(fetchDir);
  {
    THttpClient client;
    auto start = Clock::now();
    for (size_t i = 0; i < urls.size(); ++i) {
      TFileStream file(fetchDir + PageFileName(int(i % kPages) + 1));
      client.HttpGetStream(urls[i], file);
      file.Close();
    }
    double s = Seconds(Clock::now() - start);
    std::printf("baseline, pages only, program's client: %.3f s, %.1f pages/s\n", s, urls.size() / s);
  }
  {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CurlWrite);
    auto start = Clock::now();
    for (size_t i = 0; i < urls.size(); ++i) {
      FILE* f = fopen((fetchDir + PageFileName(int(i % kPages) + 1)).c_str(), "wb");
      curl_easy_setopt(curl, CURLOPT_URL, urls[i].c_str());
      curl_easy_setopt(curl, CURLOPT_WRITEDATA, f);
      curl_easy_perform(curl);
      fclose(f);
    }
    double s = Seconds(Clock::now() - start);
    std::printf("baseline, pages only, libcurl:          %.3f s, %.1f pages/s\n", s, urls.size() / s);
    curl_easy_cleanup(curl);
    curl_global_cleanup();
  }
  {
    // The 30 fetched pages of the last record, merged 20 times over and converted each time.
    auto start = Clock::now();
    for (int r = 0; r < kRecords; ++r) {
      DeleteFileAt(fetchDir + "bench.tif");
      for (int p = 1; p <= kPages; ++p) RunTool(ToolPath("tiffcp"), MergeToolParams(fetchDir, p, "bench"));
      RunTool(ToolPath("tiff2pdf"), ConvertToolParams(fetchDir + "bench.tif", root.Path() + "/bench.pdf", "bench"));
    }
    double s = Seconds(Clock::now() - start);
    std::printf("baseline, tools only (tiffcp x %d, tiff2pdf x %d): %.3f s, %.1f pages/s\n", pages, kRecords, s,
                pages / s);
  }
  return 0;
}
