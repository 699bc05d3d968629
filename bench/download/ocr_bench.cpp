// OCR benchmark: what --ocr adds to a download, before (tesseract started once a page, the
// way of the build before the engines) and now (engines inside the process), against
// ocrmypdf on the same PDFs.
//
//   build/bin/ocr_bench [RECORDS] [ROUNDS]
//
// Downloads RECORDS records (default 4, 3 to 6 pages each) from the demo site without a
// text layer, with the text layer of before and with the text layer of now, ROUNDS times
// in turn (default 2), all in one process, and runs `ocrmypdf -l chi_sim+eng` on each PDF
// of a plain run. Prints the time the text layer added to the download (the best round of
// each), ocrmypdf's time, the character recall of each on the pages (what the demo site
// drew, against pdftotext), the pages recognised a minute, the peak memory of the process
// with its engines and the PDF sizes. ocrmypdf is a baseline only.
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/tools.h"
#include "bench/recognition/processrecogniser.h"
#include "demosite/corpus.h"
#include "download/getdown.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"
#include "tests/support/tempdir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Record {
  std::string number;
  int pages = 0;
};

// The first records of 3 to 6 pages that the download does not skip.
std::vector<Record> Records(size_t count) {
  std::vector<Record> records;
  const DemoCorpus corpus;
  for (const DemoRecord& r : corpus.Records())
    if (r.type != 3 && r.pages >= 3 && r.pages <= 6 && records.size() < count) records.push_back({r.number, r.pages});
  return records;
}

enum class TLayer { None, Before, Now };

// One download run into a fresh folder under root; the PDFs it made, in list order. Empty
// when a record failed or lacks its text.
std::vector<TPath> Download(const TPath& root, const std::vector<Record>& records, TLayer layer, double& seconds) {
  CreateDir(root);
  datadir::SetRoot(root);
  std::vector<std::string> numbers;
  for (const Record& r : records) numbers.push_back(r.number);
  TBatchOptions options;
  options.ocr = layer != TLayer::None;
  if (layer == TLayer::Before) {
    const TPath work = root + "/before";
    CreateDir(work);
    options.engines = [work] { return std::make_unique<TRecognitionEngine>(std::make_unique<TProcessRecogniser>(work)); };
  }
  auto result = std::make_shared<TDownloadResult>();
  DirectHandOver handOver;
  auto start = Clock::now();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  seconds = Seconds(Clock::now() - start);
  getdown::WaitAllDone();
  std::vector<TPath> pdfs;
  for (const TNumberOutcome& o : result->numbers) {
    if (o.status != TNumberOutcome::TStatus::Done || !o.pdf || (options.ocr && !o.textLayer)) {
      std::fprintf(stderr, "%s: %s%s\n", o.number.c_str(), o.error.c_str(), result->error.c_str());
      return {};
    }
    pdfs.push_back(*o.pdf);
  }
  return pdfs;
}

long long SizeOf(const TPath& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

long long SizeOf(const std::vector<TPath>& pdfs) {
  long long size = 0;
  for (const TPath& p : pdfs) size += SizeOf(p);
  return size;
}

// The recall of a set of PDFs, one per record, over all their pages.
double Recall(const DemoSite& site, const std::vector<Record>& records, const std::vector<TPath>& pdfs) {
  std::string drawn, found;
  for (size_t i = 0; i < records.size(); ++i) {
    for (int page = 1; page <= records[i].pages; ++page) {
      char target[64];
      snprintf(target, sizeof target, "/books/%s/1/%06d.txt", records[i].number.c_str(), page);
      drawn += GbkToUtf8(site.RawRequest("GET", target).body);
      found += PdfText(pdfs[i], page);
    }
  }
  return CharacterRecall(drawn, found);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t count = argc > 1 ? size_t(std::max(1, atoi(argv[1]))) : 4;
  const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 2;
  const std::vector<Record> records = Records(count);
  int pages = 0;
  for (const Record& r : records) pages += r.pages;
  DemoSite site;
  TempDir work;
  std::printf("OCR of %zu records, %d pages, from %s; %u cores; %d rounds\n", records.size(), pages,
              site.Address().c_str(), std::thread::hardware_concurrency(), rounds);

  double warm = 0;
  Download(work.Path() + "/warm", records, TLayer::None, warm);  // the site draws each page once and keeps it
  double plain = 1e9, before = 1e9, now = 1e9;
  std::vector<TPath> plainPdfs, beforePdfs, nowPdfs;
  for (int r = 1; r <= rounds; ++r) {
    const std::string round = std::to_string(r);
    double s[3];
    plainPdfs = Download(work.Path() + ("/plain" + round), records, TLayer::None, s[0]);
    beforePdfs = Download(work.Path() + ("/before" + round), records, TLayer::Before, s[1]);
    nowPdfs = Download(work.Path() + ("/now" + round), records, TLayer::Now, s[2]);
    if (plainPdfs.size() != records.size() || beforePdfs.size() != records.size() || nowPdfs.size() != records.size()) {
      std::fprintf(stderr, "a download run did not give every PDF\n");
      return 1;
    }
    std::printf("  round %d: without text layer %.2f s, with the layer of before %.2f s, of now %.2f s\n", r, s[0], s[1],
                s[2]);
    plain = std::min(plain, s[0]);
    before = std::min(before, s[1]);
    now = std::min(now, s[2]);
  }

  // The baseline on the PDFs of a plain run, one after the other as a user would.
  std::vector<TPath> baselinePdfs;
  auto start = Clock::now();
  for (size_t i = 0; i < plainPdfs.size(); ++i) {
    const TPath out = work.Path() + ("/ocrmypdf" + std::to_string(i) + ".pdf");
    TToolOptions options;
    options.output = work.Path() + ("/ocrmypdf" + std::to_string(i) + ".log");
    const int status = RunTool(ToolPath("ocrmypdf"),
                               "-l chi_sim+eng " + QuoteToolArgument(plainPdfs[i].Bytes()) + " " +
                                   QuoteToolArgument(out.Bytes()),
                               3600000, options);
    if (status != 0) {
      std::fprintf(stderr, "ocrmypdf failed (%d) on %s\n", status, plainPdfs[i].Shown().c_str());
      return 1;
    }
    baselinePdfs.push_back(out);
  }
  const double ocrmypdf = Seconds(Clock::now() - start);

  const double addedBefore = before - plain, addedNow = now - plain;
  std::printf("download without text layer: %.2f s\n", plain);
  std::printf("added by --ocr before (a process a page): %.2f s (%.2f s/page, %.0f pages/min)\n", addedBefore,
              addedBefore / pages, 60 * pages / before);
  std::printf("added by --ocr now (engines):             %.2f s (%.2f s/page, %.0f pages/min): %.2f x faster\n", addedNow,
              addedNow / pages, 60 * pages / now, addedBefore / addedNow);
  std::printf("ocrmypdf -l chi_sim+eng on the same PDFs:  %.2f s (%.2f s/page); --ocr adds %.0f%% of that (before %.0f%%)\n",
              ocrmypdf, ocrmypdf / pages, 100 * addedNow / ocrmypdf, 100 * addedBefore / ocrmypdf);
  const double recallBefore = Recall(site, records, beforePdfs), recallNow = Recall(site, records, nowPdfs),
               recallBaseline = Recall(site, records, baselinePdfs);
  std::printf("character recall: --ocr now %.1f%%, before %.1f%%, ocrmypdf %.1f%%\n", 100 * recallNow,
              100 * recallBefore, 100 * recallBaseline);
  const long long plainSize = SizeOf(plainPdfs);
  std::printf("PDF size: without text %lld bytes, with --ocr %lld (%+.1f%%), before %lld (%+.1f%%), ocrmypdf %lld (%+.1f%%)\n",
              plainSize, SizeOf(nowPdfs), 100.0 * (SizeOf(nowPdfs) - plainSize) / plainSize, SizeOf(beforePdfs),
              100.0 * (SizeOf(beforePdfs) - plainSize) / plainSize, SizeOf(baselinePdfs),
              100.0 * (SizeOf(baselinePdfs) - plainSize) / plainSize);
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  std::printf("peak memory of this process (its engines, one a core): %ld MB\n", ru.ru_maxrss / 1024);
  return 0;
}
