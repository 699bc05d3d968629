#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "base/datadir.h"
#include "base/gbk.h"
#include "base/handover.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "search/getquery.h"
#include "shell/shelltexts.h"

namespace {

const char kHelp[] =
    "usage: varnolt-cli search [--title TEXT] [--abstract TEXT] [--class TEXT]\n"
    "                          [--legal-status] [--abstract-info] [--first-claim] [--patentee]\n"
    "                          [--json PATH]\n"
    "\n"
    "Searches the patent search site named in hosts.ini (program directory) for records\n"
    "whose title (名称) and abstract (摘要) hold the words and whose classification (分类号)\n"
    "holds the code, up to 100 records. The options add look-ups per record:\n"
    "  --legal-status   法律状态 (legal status)\n"
    "  --abstract-info  摘要信息 (abstract)\n"
    "  --first-claim    第一权利要求 (first claim)\n"
    "  --patentee       专利权人 (patentee)\n"
    "  --json PATH      after the run, write the expression, the count the site gave and every\n"
    "                   record's cells to a JSON file (UTF-8); what was not fetched is null\n"
    "Progress lines go to stdout as they come. The report is written to\n"
    "<data root>/data/query/<expression>.html (data root from savefile.ini) and its absolute\n"
    "path is the last line printed. Why a run ended early goes to standard error.\n"
    "Exit status: 0 report written, 1 the run ended early, 2 wrong usage or no condition.\n";

std::string Json(const std::string& expression, const TSearchResult& result) {
  TJsonWriter json;
  json.BeginObject();
  json.Key("expression").String(GbkToUtf8(expression));
  json.Key("count").Number(result.count);
  json.Key("records").BeginArray();
  for (const TSearchRecord& r : result.records) {
    json.BeginObject();
    json.Key("number").String(GbkToUtf8(r.number));
    json.Key("type").String(GbkToUtf8(r.typeName));
    json.Key("title").String(GbkToUtf8(r.title));
    json.Key("class").String(GbkToUtf8(r.classification));
    json.Key("legal_status").GbkOrNull(r.legalStatus);
    json.Key("patentee").GbkOrNull(r.patentee);
    json.Key("abstract").GbkOrNull(r.abstractText);
    json.Key("first_claim").GbkOrNull(r.firstClaim);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  return json.Text();
}

}  // namespace

int RunSearchCommand(int argc, char** argv) {
  std::string title, abstractWords, classification, jsonPath;
  bool legal = false, abs = false, claim = false, patentee = false;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& into) {
      if (!ReadOptionValue(argc, argv, i, into)) return false;
      into = Utf8ToGbk(into);
      return true;
    };
    bool ok = true;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--title") {
      ok = value(title);
    } else if (a == "--abstract") {
      ok = value(abstractWords);
    } else if (a == "--class") {
      ok = value(classification);
    } else if (a == "--legal-status") {
      legal = true;
    } else if (a == "--abstract-info") {
      abs = true;
    } else if (a == "--first-claim") {
      claim = true;
    } else if (a == "--patentee") {
      patentee = true;
    } else if (a == "--json") {
      ok = ReadOptionValue(argc, argv, i, jsonPath);
    } else {
      ok = false;
    }
    if (!ok) {
      std::fprintf(stderr, "varnolt-cli search: bad argument '%s'\n\n", a.c_str());
      std::fputs(kHelp, stderr);
      return 2;
    }
  }

  const std::string expression = BuildSearchExpression(title, abstractWords, classification);
  if (expression.empty()) {
    PrintLine(stderr, shelltext::kNoCondition);
    return 2;
  }

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
  new getquery(&handOver, expression, legal, abs, claim, patentee, result);
  handOver.WaitForEnd();
  getquery::WaitAllDone();
  if (!result->error.empty()) PrintLine(stderr, result->error);
  if (!jsonPath.empty() && !WriteJson(jsonPath, Json(expression, *result))) return finished ? 2 : 1;
  if (!finished) return 1;
  PrintPath(stdout, reportPath);
  return 0;
}
