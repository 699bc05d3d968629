#include "download/pages.h"

#include <atomic>
#include <chrono>
#include <vector>

#include "base/bytes.h"
#include "base/files.h"
#include "base/stream.h"
#include "base/tools.h"
#include "download/downerrors.h"
#include "download/pdfstore.h"
#include "http/httpclient.h"

namespace {

const std::string kViewerMarker = "onclick=javascript:browsetif";  // 28 bytes
// 文件下载完毕,正在进行格式处理，请稍候...
const char kFormatLine[] =
    "\xce\xc4\xbc\xfe\xcf\xc2\xd4\xd8\xcd\xea\xb1\xcf,\xd5\xfd\xd4\xda\xbd\xf8\xd0\xd0\xb8\xf1\xca\xbd"
    "\xb4\xa6\xc0\xed\xa3\xac\xc7\xeb\xc9\xd4\xba\xf2...";

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
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = i;
  bool nonZero = false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    if (text[i] != '0') nonZero = true;
  }
  if (i == digits) return false;
  value = ReadInteger(text);
  return value != 0 || !nonZero;  // ReadInteger gives 0 past the 32-bit range
}

std::atomic<int64_t> g_mergeNs{0}, g_convertNs{0}, g_merges{0}, g_converts{0};

// Runs a tool, adds its wall time to the given counters and gives its status.
int RunTimedTool(const std::string& name, const std::string& params, int timeoutMs, std::atomic<int64_t>& ns,
                 std::atomic<int64_t>& count) {
  auto start = std::chrono::steady_clock::now();
  int status = RunTool(ToolPath(name), params, timeoutMs);
  ns += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
  ++count;
  return status;
}

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

void DownloadRecordPages(THttpClient& pageClient, const TRecordPages& record,
                         const std::function<void(const std::string&)>& report) {
  const TPath merged = record.tempDir + MergedImageName(record.number);
  // The merging tool appends; a merged image left by an earlier download would double the pages.
  DeleteFileAt(merged);
  for (int n = 1; n <= record.pageCount; ++n) {
    {
      TFileStream page(record.tempDir + PageFileName(n));
      pageClient.HttpGetStream(record.imageBase + PageFileName(n), page);  // the file closes on failure too
      page.Close();
    }
    if (RunTimedTool("tiffcp", MergeToolParams(record.tempDir, n, record.number), kMergeTimeoutMs, g_mergeNs,
                     g_merges) != 0)
      throw EConversionError("The merging tool failed on page " + std::to_string(n));
  }
  report(kFormatLine);
  const TPath temp = TemporaryFileIn(record.pdf.Parent());
  const int status = RunTimedTool("tiff2pdf", ConvertToolParams(merged, temp, record.owner), kConvertTimeoutMs,
                                  g_convertNs, g_converts);
  if (status != 0 || !FileExists(temp) || !ReplaceFile(temp, record.pdf)) {
    DeleteFileAt(temp);
    throw EConversionError("The converting tool failed");
  }
}

TToolTimes ToolTimesSoFar() {
  TToolTimes t;
  t.mergeNs = g_mergeNs;
  t.convertNs = g_convertNs;
  t.merges = g_merges;
  t.converts = g_converts;
  return t;
}
