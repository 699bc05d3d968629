// OCR benchmark: what --ocr adds to a download, against ocrmypdf on the same PDFs.
//
//   build/bin/ocr_bench [RECORDS]
//
// Downloads RECORDS records (default 4, 3 to 6 pages each) from the demo site twice in one
// process, without and with the text layer, and runs `ocrmypdf -l chi_sim+eng` on each
// PDF of the first run, in the same run. Prints the time the text layer added to the
// download and ocrmypdf's time, the character recall of both on the pages (what the
// demo site drew, against pdftotext), and the PDF sizes. ocrmypdf is a baseline only.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/tools.h"
#include "demosite/corpus.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "download/pages.h"
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

// One download run into root; the PDFs it made, in list order. Empty when it ended early.
std::vector<TPath> Download(const TPath& root, const std::vector<Record>& records, bool ocr, double& seconds) {
  datadir::SetRoot(root);
  std::vector<std::string> numbers;
  for (const Record& r : records) numbers.push_back(r.number);
  TBatchOptions options;
  options.ocr = ocr;
  auto result = std::make_shared<TDownloadResult>();
  DirectHandOver handOver;
  auto start = Clock::now();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  seconds = Seconds(Clock::now() - start);
  getdown::WaitAllDone();
  std::vector<TPath> pdfs;
  for (const TNumberOutcome& o : result->numbers) {
    if (o.status != TNumberOutcome::TStatus::Done || !o.pdf || (ocr && !o.textLayer)) return {};
    pdfs.push_back(*o.pdf);
  }
  return pdfs;
}

long long SizeOf(const TPath& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The recall of a set of PDFs, one per record, over all their pages.
double Recall(const DemoSite& site, const std::vector<Record>& records, const std::vector<TPath>& pdfs) {
  std::string drawn, found;
  for (size_t i = 0; i < records.size(); ++i) {
    for (int page = 1; page <= records[i].pages; ++page) {
      char target[64];
      snprintf(target, sizeof target, "/books/%s/1/%06d.txt", records[i].number.c_str(), page);
      const std::string truth = GbkToUtf8(site.RawRequest("GET", target).body);
      drawn += truth;
      found += PdfText(pdfs[i], page);
    }
  }
  return CharacterRecall(drawn, found);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t count = argc > 1 ? size_t(std::max(1, atoi(argv[1]))) : 4;
  const std::vector<Record> records = Records(count);
  int pages = 0;
  for (const Record& r : records) pages += r.pages;
  DemoSite site;
  TempDir plainRoot, ocrRoot, baseline;
  std::printf("OCR of %zu records, %d pages, from %s; %u cores\n", records.size(), pages, site.Address().c_str(),
              std::thread::hardware_concurrency());

  double warm = 0, plain = 0, withText = 0;
  Download(baseline.Path(), records, false, warm);  // the site draws each page once and keeps it
  std::vector<TPath> plainPdfs = Download(plainRoot.Path(), records, false, plain);
  std::vector<TPath> ocrPdfs = Download(ocrRoot.Path(), records, true, withText);
  if (plainPdfs.size() != records.size() || ocrPdfs.size() != records.size()) {
    std::fprintf(stderr, "a download run did not give every PDF\n");
    return 1;
  }

  // The baseline on the PDFs of the plain run, one after the other as a user would.
  std::vector<TPath> baselinePdfs;
  auto start = Clock::now();
  for (size_t i = 0; i < plainPdfs.size(); ++i) {
    const TPath out = baseline.Path() + ("/ocrmypdf" + std::to_string(i) + ".pdf");
    TToolOptions options;
    options.output = baseline.Path() + ("/ocrmypdf" + std::to_string(i) + ".log");
    const int status = RunTool(ToolPath("ocrmypdf"),
                               "-l chi_sim+eng " + QuoteToolArgument(plainPdfs[i].Bytes()) + " " +
                                   QuoteToolArgument(out.Bytes()),
                               3600000,
                               options);
    if (status != 0) {
      std::fprintf(stderr, "ocrmypdf failed (%d) on %s\n", status, plainPdfs[i].Shown().c_str());
      return 1;
    }
    baselinePdfs.push_back(out);
  }
  const double ocrmypdf = Seconds(Clock::now() - start);

  long long plainSize = 0, ocrSize = 0, baselineSize = 0;
  for (size_t i = 0; i < records.size(); ++i) {
    plainSize += SizeOf(plainPdfs[i]);
    ocrSize += SizeOf(ocrPdfs[i]);
    baselineSize += SizeOf(baselinePdfs[i]);
  }
  const double added = withText - plain;
  std::printf("download without text layer: %.2f s; with --ocr: %.2f s; added by --ocr: %.2f s (%.2f s/page)\n", plain,
              withText, added, added / pages);
  std::printf("ocrmypdf -l chi_sim+eng on the same PDFs:        %.2f s (%.2f s/page); --ocr adds %.0f%% of that\n",
              ocrmypdf, ocrmypdf / pages, 100 * added / ocrmypdf);
  const double ours = Recall(site, records, ocrPdfs), theirs = Recall(site, records, baselinePdfs);
  std::printf("character recall: --ocr %.1f%%, ocrmypdf %.1f%% (%+.1f points)\n", 100 * ours, 100 * theirs,
              100 * (ours - theirs));
  std::printf("PDF size: without text %lld bytes, with --ocr %lld (%+.1f%%), ocrmypdf %lld (%+.1f%%)\n", plainSize,
              ocrSize, 100.0 * (ocrSize - plainSize) / plainSize, baselineSize,
              100.0 * (baselineSize - plainSize) / plainSize);
  return 0;
}
