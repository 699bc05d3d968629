#include "recognition/recognise.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

#include "base/bytes.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "base/tools.h"
#include "recognition/recognitiontexts.h"

namespace {

using namespace recognitiontext;

const char kLanguages[] = "chi_sim+eng";
// A dense page takes a few seconds on one core; past this the tool is stuck.
constexpr int kPageTimeoutMs = 300000;
constexpr int kCheckTimeoutMs = 30000;

// The last line the tool wrote, for the reason of a failure.
std::string LastLine(const TPath& log) {
  try {
    std::vector<std::string> lines = ReadTextLines(log);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines.empty() ? std::string() : lines.back().substr(0, 200);
  } catch (const EFileError&) {
    return {};
  }
}

// One run of the tool on one page, writing outBase + "." + extension; its own output goes
// to log.
void RunOcrTool(const TPath& image, const TPath& outBase, const TPath& log, const std::string& config,
                const std::string& extension) {
  TToolOptions options;
  // Its own threads cost about six times as much per page as a process per core.
  options.environment = {"OMP_THREAD_LIMIT=1"};
  options.output = log;
  const int status = RunTool(ToolPath("tesseract"),
                             QuoteToolArgument(image.Bytes()) + " " + QuoteToolArgument(outBase.Bytes()) + " -l " +
                                 kLanguages + " " + config,
                             kPageTimeoutMs, options);
  if (status == kToolNotStarted) throw EOcrError(kNotStarted);
  if (status == kToolKilled) throw EOcrError(kKilled);
  if (status != 0) {
    const std::string line = LastLine(log);
    throw EOcrError(kExitCode + std::to_string(status) + (line.empty() ? "" : ": " + Utf8ToGbk(line)));
  }
  if (!FileExists(outBase + ("." + extension))) throw EOcrError(kNoLayer);
}

std::vector<std::string> Fields(const std::string& row) {
  std::vector<std::string> fields;
  size_t from = 0;
  for (size_t tab; (tab = row.find('\t', from)) != std::string::npos; from = tab + 1)
    fields.push_back(row.substr(from, tab - from));
  fields.push_back(row.substr(from));
  return fields;
}

int Number(const std::string& text) {
  int64_t v = 0;
  return ReadDecimal(text, v) ? int(v) : 0;
}

TPageBox Union(const TPageBox& a, const TPageBox& b) {
  if (a.width == 0 && a.height == 0) return b;
  const int left = std::min(a.left, b.left), top = std::min(a.top, b.top);
  const int right = std::max(a.left + a.width, b.left + b.width);
  const int bottom = std::max(a.top + a.height, b.top + b.height);
  return {left, top, right - left, bottom - top};
}

// The tool's table of a page (UTF-8, a heading row, then one row per block, paragraph,
// line and word): the words grouped into their lines in reading order.
TRecognisedPage ReadWordTable(const std::string& table) {
  TRecognisedPage page;
  std::map<std::tuple<int, int, int, int>, size_t> lineAt;  // (page, block, paragraph, line)
  std::vector<std::string> lines;
  for (size_t from = 0; from < table.size();) {
    size_t end = table.find('\n', from);
    if (end == std::string::npos) end = table.size();
    std::string row = table.substr(from, end - from);
    if (!row.empty() && row.back() == '\r') row.pop_back();
    lines.push_back(std::move(row));
    from = end + 1;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    if (f.size() < 12) continue;
    const int level = Number(f[0]);
    const auto key = std::make_tuple(Number(f[1]), Number(f[2]), Number(f[3]), Number(f[4]));
    const TPageBox box{Number(f[6]), Number(f[7]), Number(f[8]), Number(f[9])};
    if (level == 4) {
      lineAt[key] = page.lines.size();
      page.lines.push_back({{}, box});
      continue;
    }
    const std::string text = TrimBytes(f[11]);
    if (level != 5 || text.empty()) continue;
    auto at = lineAt.find(key);
    if (at == lineAt.end()) {
      at = lineAt.emplace(key, page.lines.size()).first;
      page.lines.emplace_back();
    }
    TRecognisedLine& line = page.lines[at->second];
    const double confidence = std::strtod(f[10].c_str(), nullptr);
    line.words.push_back({Utf8ToGbk(text), box, int(std::clamp(confidence, 0.0, 100.0))});
    line.box = Union(line.box, box);
  }
  std::erase_if(page.lines, [](const TRecognisedLine& l) { return l.words.empty(); });
  return page;
}

}  // namespace

std::string TRecognisedLine::Text() const {
  std::string text;
  for (const TRecognisedWord& w : words) text += (text.empty() ? "" : " ") + w.text;
  return text;
}

std::string TRecognisedPage::Text() const {
  std::string text;
  for (const TRecognisedLine& l : lines) text += l.Text() + "\n";
  return text;
}

std::string OcrUnavailableReason(const TPath& workDir) {
  std::vector<std::string> lines;
  int status = kToolNotStarted;
  try {
    TTemporaryFile answer(workDir);
    TToolOptions options;
    options.output = answer.Path();
    status = RunTool(ToolPath("tesseract"), "--list-langs", kCheckTimeoutMs, options);
    lines = ReadTextLines(answer.Path());
  } catch (const EFileError&) {
    return kToolBroken;  // the tool's answer cannot be heard (the run's folder is not writable)
  }
  if (status == kToolNotStarted) return kNoTool;
  if (status != 0) return kToolBroken;
  std::string missing;
  for (const char* model : {"chi_sim", "eng"}) {
    if (std::find(lines.begin(), lines.end(), model) == lines.end()) missing += (missing.empty() ? "" : " ") + std::string(model);
  }
  return missing.empty() ? std::string() : kNoModelA + missing + kNoModelB;
}

TRecognisedPage RecognisePage(const TPath& image, const TPath& workDir) {
  // The log is a temporary file of the folder's, and the table is named after it.
  TTemporaryFile log(workDir);
  const TPath table = log.Path() + ".tsv";
  struct TRemove {
    const TPath& path;
    ~TRemove() { DeleteFileAt(path); }
  } remove{table};
  RunOcrTool(image, log.Path(), log.Path(), "tsv", "tsv");
  try {
    return ReadWordTable(ReadFileBytes(table));
  } catch (const EFileError&) {
    throw EOcrError(kNoLayer);
  }
}

void RecognisePageLayer(const TPath& image, const TPath& outBase) {
  RunOcrTool(image, outBase, outBase + ".log", "-c textonly_pdf=1 pdf", "pdf");
}
