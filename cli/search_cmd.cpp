#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "base/gbk.h"
#include "base/handover.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "search/getquery.h"
#include "search/searchargs.h"
#include "shell/shelltexts.h"

namespace {

const char kHelp[] =
    "usage: varnolt-cli search [--title TEXT] [--abstract TEXT] [--class TEXT]\n"
    "                          [--legal-status] [--abstract-info] [--first-claim] [--patentee]\n"
    "                          [--first-claim-ocr] [--source ops|site] [--max N] [--json PATH]\n"
    "\n"
    "Searches the patent search site named in hosts.ini (program directory) for records\n"
    "whose title (名称) and abstract (摘要) hold the words and whose classification (分类号)\n"
    "holds the code, up to 100 records. The options add look-ups per record:\n"
    "  --legal-status   法律状态 (legal status)\n"
    "  --abstract-info  摘要信息 (abstract)\n"
    "  --first-claim    第一权利要求 (first claim)\n"
    "  --patentee       专利权人 (patentee)\n"
    "  --first-claim-ocr  OPS: 第一权利要求 read by text recognition (tesseract) from the page\n"
    "                   where the claims start: one more image request per record\n"
    "  --source ops|site  where to search: EPO's Open Patent Services (ops) or the patent\n"
    "                   search site of hosts.ini (site); without it the desktop's choice, else\n"
    "                   site in a program directory of your own and ops in an installed one\n"
    "  --max N          OPS: read up to N records (default 100; past 2000 hits the query is\n"
    "                   split by publication date)\n"
    "  --json PATH      after the run, write the expression, the count the site gave and every\n"
    "                   record's cells to a JSON file (UTF-8); what was not fetched is null\n"
    "Progress lines go to stdout as they come. The report is written to\n"
    "<data root>/data/query/<expression>.html (data root from savefile.ini) and its absolute\n"
    "path is the last line printed. Why a run ended early goes to standard error.\n"
    "Exit status: 0 report written, 1 the run ended early, 2 wrong usage or no condition.\n";

std::string Json(const std::string& expression, const TSearchResult& result) {
  TJson records = TJson::array();
  for (const TSearchRecord& r : result.records) {
    TJson record;
    record["number"] = GbkToUtf8(r.number);
    if (r.publication) record["publication"] = GbkToUtf8(*r.publication);
    record["type"] = GbkToUtf8(r.typeName);
    record["title"] = r.titleUtf8.empty() ? GbkToUtf8(r.title) : r.titleUtf8;
    record["class"] = GbkToUtf8(r.classification);
    record["legal_status"] = GbkOrNull(r.legalStatus);
    record["patentee"] = GbkOrNull(r.patentee);
    record["abstract"] = GbkOrNull(r.abstractText);
    record["first_claim"] = GbkOrNull(r.firstClaim);
    records.push_back(std::move(record));
  }
  TJson json;
  json["expression"] = GbkToUtf8(expression);
  json["count"] = result.count;
  json["records"] = std::move(records);
  return JsonText(json);
}

}  // namespace

int RunSearchCommand(int argc, char** argv) {
  std::string jsonPath;
  TSearchOptions options;
  const std::vector<std::string> args(argv, argv + argc);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string a = args[i];
    const TSearchArgument read = ReadSearchArgument(args, i, options);
    bool ok = read == TSearchArgument::Read;
    if (read == TSearchArgument::NotSearch && (a == "--help" || a == "-h")) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (read == TSearchArgument::NotSearch && a == "--json") {
      int at = int(i);
      ok = ReadOptionValue(argc, argv, at, jsonPath);
      i = size_t(at);
    }
    if (!ok) {
      std::fprintf(stderr, "varnolt-cli search: bad argument '%s'\n\n", a.c_str());
      std::fputs(kHelp, stderr);
      return 2;
    }
  }
  const TSearchAsk& ask = options.ask;
  const std::optional<TSourceKind>& source = options.source;

  const TSourceKind kind = ChooseSource(source);
  const std::string expression = SearchExpression(kind, ask);
  if (expression.empty()) {
    PrintLine(stderr, shelltext::kNoCondition);
    return 2;
  }
  if (!CredentialsReady(kind)) return 2;

  datadir::LoadRootAtStart();
  DirectHandOver handOver;
  bool finished = false;
  TPath reportPath;
  handOver.onProgress = [](const std::string& line) { PrintLine(stdout, line); };
  handOver.onFinish = [&] {
    finished = true;
    reportPath = SearchReportPath(datadir::Root(), expression);
  };
  auto result = std::make_shared<TSearchResult>();
  new getquery(&handOver, kind, ask, result);
  handOver.WaitForEnd();
  getquery::WaitAllDone();
  if (!result->ocrUnavailable.empty()) PrintLine(stderr, result->ocrUnavailable);
  if (!result->error.empty()) PrintLine(stderr, result->error);
  if (!jsonPath.empty() && !WriteJson(jsonPath, Json(expression, *result))) return finished ? 2 : 1;
  if (!finished) return 1;
  PrintPath(stdout, reportPath);
  return 0;
}
