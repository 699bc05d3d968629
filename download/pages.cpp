#include "download/pages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "base/stream.h"
#include "base/tools.h"
#include "download/downerrors.h"
#include "download/downtexts.h"
#include "download/pdfstore.h"
#include "download/requestgate.h"
#include "http/httpclient.h"

namespace {

using namespace pagestext;

const std::string kViewerMarker = "onclick=javascript:browsetif";  // 28 bytes

// A merge of one page takes milliseconds and a conversion seconds; past these limits a
// tool is stuck and is killed, so the run goes on.
constexpr int kMergeTimeoutMs = 60000;
constexpr int kConvertTimeoutMs = 300000;

long Len(const std::string& s) { return long(s.size()); }

std::string AfterMarker(const std::string& s) {
  long start = BytePos(kViewerMarker, s) + Len(kViewerMarker);
  return ByteCopy(s, start, Len(s) - start);
}

bool IsBlank(unsigned char c) { return c >= 1 && c <= 32; }

// Comma-separated fields: blanks and control bytes also end a field and are skipped
// between fields; a field opened by a double quote runs to its closing quote, "" inside
// standing for one. A NUL byte ends the text.
std::vector<std::string> SplitFields(const std::string& text) {
  std::string s = text.substr(0, text.find('\0'));
  std::vector<std::string> fields;
  size_t i = 0, n = s.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(static_cast<unsigned char>(s[i]))) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string field;
    if (s[i] == '"') {
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += s[i++];
      }
    } else {
      size_t start = i;
      while (i < n && static_cast<unsigned char>(s[i]) > 32 && s[i] != ',') ++i;
      field = s.substr(start, i - start);
    }
    fields.push_back(field);
    skipBlanks();
    if (i < n && s[i] == ',') {
      if (i + 1 == n) fields.emplace_back();  // a trailing comma ends with an empty field
      do {
        ++i;
      } while (i < n && IsBlank(static_cast<unsigned char>(s[i])));
    }
  }
  return fields;
}

// Blanks, an optional sign and decimal digits within the 32-bit range, nothing else.
bool ReadsAsInteger(const std::string& text, int& value) {
  int64_t v = 0;
  if (!ReadDecimal(text.substr(std::min(text.size(), text.find_first_not_of(' '))), v) || v < INT32_MIN ||
      v > INT32_MAX)
    return false;
  value = static_cast<int>(v);
  return true;
}

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

TPageList ReadPageList(const std::string& detailPage) {
  if (BytePos(kViewerMarker, detailPage) == 0) throw EPageListError("No page-viewer call on the detail page");
  std::string s = AfterMarker(detailPage);
  // A granted invention lists its earlier publication first; the second call is the document.
  if (BytePos(kViewerMarker, s) > 0) s = AfterMarker(s);
  long q = BytePos(")", s);
  s = ByteCopy(s, 1, q - 1);
  std::string unquoted;
  for (char c : s) {
    if (c != '\'') unquoted += c;
  }
  std::vector<std::string> fields = SplitFields(unquoted);
  if (fields.size() < 3) throw EPageListError("The page-viewer call has fewer than three fields");
  TPageList list;
  if (!ReadsAsInteger(fields[1], list.pageCount))
    throw EPageListError("The page count of the page-viewer call is not a number: " + fields[1]);
  const std::string& first = fields[2];
  list.imageBase = first.size() > 10 ? first.substr(0, first.size() - 10) : "";
  return list;
}

std::string PageFileName(int n) {
  std::string digits = std::to_string(n);
  if (n < 0 || digits.size() > 6) return "000001.tif";
  return std::string(6 - digits.size(), '0') + digits + ".tif";
}

std::string MergedImageName(const std::string& number) { return FileNameFromText(number + ".tif"); }

std::string QuoteToolArgument(const std::string& arg) {
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  // Backslashes before the closing quote are doubled so that it still closes.
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

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

void DownloadRecordPages(THttpClient& pageClient, TRequestGate& gate, const TRecordPages& record,
                         const std::function<void(const std::string&)>& report, TRecordFinish* given) {
  TPdfFinish plain(record);
  TRecordFinish& finish = given ? *given : plain;
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
    gate.Run(record.number + kPageHead + std::to_string(n) + kPageTail, [&] {
      TFileStream page(record.tempDir + PageFileName(n));
      pageClient.HttpGetStream(record.imageBase + PageFileName(n), page);  // the file closes on failure too
      page.Close();
    });
    finish.PageFetched(n, record.tempDir + PageFileName(n));
    if (n > 1) mergeDone(n - 1);
    merge.Start("tiffcp", MergeToolParams(record.tempDir, n, record.number), kMergeTimeoutMs);
  }
  if (record.pageCount > 0) mergeDone(record.pageCount);
  report(kFormatLine);
  // The tool writes into a locked temporary file and holds its lock as well: a run killed
  // while it writes leaves a file the next run knows for a leftover.
  auto temp = std::make_unique<TTemporaryFile>(record.pdf.Parent());
  TTimedTool convert(g_convertNs, g_converts);
  convert.Start("tiff2pdf", ConvertToolParams(merged, temp->Path(), record.owner), kConvertTimeoutMs, temp->Fd());
  if (convert.Wait() != 0 || !FileExists(temp->Path())) throw EConversionError("The converting tool failed");
  finish.Converted(std::move(temp));
}

TToolTimes ToolTimesSoFar() {
  TToolTimes t;
  t.mergeNs = g_mergeNs;
  t.convertNs = g_convertNs;
  t.merges = g_merges;
  t.converts = g_converts;
  return t;
}
