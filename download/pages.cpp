#include "download/pages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "base/stream.h"
#include "base/tiffpages.h"
#include "base/tools.h"
#include "download/downerrors.h"
#include "download/downtexts.h"
#include "download/pdfstore.h"
#include "download/requestgate.h"
#include "http/httpclient.h"

namespace {

using namespace pagestext;

// A merge of one page takes milliseconds and a conversion seconds; past these limits a
// tool is stuck and is killed, so the run goes on.
constexpr int kMergeTimeoutMs = 60000;
constexpr int kConvertTimeoutMs = 300000;

std::atomic<int64_t> g_mergeNs{0}, g_convertNs{0}, g_merges{0}, g_converts{0};

// A tool run whose wall time, from its start to the end of the wait, adds to counters.
class TTimedTool {
 public:
  TTimedTool(std::atomic<int64_t>& ns, std::atomic<int64_t>& count) : ns_(ns), count_(count) {}
  void Start(const std::string& name, const std::string& params, int timeoutMs, int inheritFd = -1) {
    start_ = std::chrono::steady_clock::now();
    TToolOptions options;
    options.inheritFd = inheritFd;
    run_.Start(ToolPath(name), params, timeoutMs, options);
  }
  int Wait() {
    int status = run_.Wait();
    ns_ += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
    ++count_;
    return status;
  }

 private:
  std::atomic<int64_t>& ns_;
  std::atomic<int64_t>& count_;
  std::chrono::steady_clock::time_point start_;
  TToolRun run_;
};

}  // namespace

std::string MergedImageName(const std::string& number) { return FileNameFromText(number + ".tif"); }

std::string MergeToolParams(const TPath& tempDir, int page, const std::string& number) {
  return QuoteToolArgument((tempDir + PageFileName(page)).Bytes()) + " -a " +
         QuoteToolArgument((tempDir + MergedImageName(number)).Bytes()) + " -w 210 -l 297";
}

std::string ConvertToolParams(const TPath& mergedImage, const TPath& out, const std::string& owner) {
  return "-k " + QuoteToolArgument(PdfKeywords(owner)) + " " + QuoteToolArgument(mergedImage.Bytes()) + " -o " +
         QuoteToolArgument(out.Bytes());
}

void TPdfFinish::Converted(std::unique_ptr<TTemporaryFile> converted) {
  TTemporaryFile finished(record_.pdf.Parent());
  FinishPdf(converted->Path(), finished.Path(), record_.info, record_.outline);
  if (!finished.MoveTo(record_.pdf)) throw EConversionError("The PDF could not be put in its place");
}

std::function<void()> FetchAndMergePages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                                         TDownloadSource& source, const TSourceDocument& document,
                                         const std::function<void(const std::string&)>& report,
                                         std::shared_ptr<TRecordFinish> finish,
                                         const std::function<void(int page)>& pageFetched) {
  if (!finish) finish = std::make_shared<TPdfFinish>(record);
  const TPath merged = record.tempDir + MergedImageName(record.number);
  // The merging tool appends; a merged image left by an earlier download would double the pages.
  DeleteFileAt(merged);
  // The next page comes in while the merging tool appends the one before it: still one
  // merge at a time, in page order. A page that fails waits for the running merge first.
  TTimedTool merge(g_mergeNs, g_merges);
  auto mergeDone = [&](int page) {
    if (merge.Wait() != 0) throw EConversionError("The merging tool failed on page " + std::to_string(page));
  };
  for (int n = 1; n <= record.pageCount; ++n) {
    gate.Run(record.number + kPageHead + std::to_string(n) + kPageTail,
             [&] { source.FetchPage(pageClient, document, n, record.tempDir + PageFileName(n)); });
    finish->PageFetched(n, record.tempDir + PageFileName(n));
    if (pageFetched) pageFetched(n);
    if (n > 1) mergeDone(n - 1);
    merge.Start("tiffcp", MergeToolParams(record.tempDir, n, record.number), kMergeTimeoutMs);
  }
  if (record.pageCount > 0) mergeDone(record.pageCount);
  if (source.ChecksPageCount()) {
    const long held = TiffImageCount(ReadFileBytes(merged));
    if (held != record.pageCount)
      throw EConversionError(getdowntext::kMergedCountA + std::to_string(std::max(0L, held)) +
                             getdowntext::kMergedCountB + std::to_string(record.pageCount) + getdowntext::kMergedCountC);
  }
  report(kFormatLine);
  return [merged, pdf = record.pdf, owner = record.owner, finish] {
    // The tool writes into a locked temporary file and holds its lock as well: a run killed
    // while it writes leaves a file the next run knows for a leftover.
    auto temp = std::make_unique<TTemporaryFile>(pdf.Parent());
    TTimedTool convert(g_convertNs, g_converts);
    convert.Start("tiff2pdf", ConvertToolParams(merged, temp->Path(), owner), kConvertTimeoutMs, temp->Fd());
    if (convert.Wait() != 0 || !FileExists(temp->Path())) throw EConversionError("The converting tool failed");
    finish->Converted(std::move(temp));
  };
}

namespace {

// A finish the caller keeps alive.
std::shared_ptr<TRecordFinish> Borrowed(TRecordFinish* finish) {
  return finish ? std::shared_ptr<TRecordFinish>(finish, [](TRecordFinish*) {}) : nullptr;
}

}  // namespace

void DownloadRecordPages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                         TDownloadSource& source, const TSourceDocument& document,
                         const std::function<void(const std::string&)>& report, TRecordFinish* finish) {
  FetchAndMergePages(pageClient, gate, record, source, document, report, Borrowed(finish))();
}

void DownloadRecordPages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                         const std::function<void(const std::string&)>& report, TRecordFinish* finish) {
  std::unique_ptr<TDownloadSource> site = MakeDownloadSource(TSourceKind::Site, TDocumentChoice::Grant, {});
  TSourceDocument document;
  document.where = record.imageBase;
  DownloadRecordPages(pageClient, gate, record, *site, document, report, finish);
}

TToolTimes ToolTimesSoFar() {
  TToolTimes t;
  t.mergeNs = g_mergeNs;
  t.convertNs = g_convertNs;
  t.merges = g_merges;
  t.converts = g_converts;
  return t;
}
