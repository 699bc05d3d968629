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
#include "library/export.h"
#include "library/library.h"
#include "search/getquery.h"
#include "search/searchargs.h"
#include "shell/shelltexts.h"

namespace {

const char kHelp[] =
    "usage: varnolt-cli search [--title TEXT] [--abstract TEXT] [--class TEXT]\n"
    "                          [--applicant TEXT] [--inventor TEXT] [--text TEXT] [--cpc CODE]\n"
    "                          [--number CN...] [--from DATE] [--to DATE] [--no-translate]\n"
    "                          [--legal-status] [--abstract-info] [--first-claim] [--patentee]\n"
    "                          [--first-claim-ocr] [--family] [--collapse family]\n"
    "                          [--source ops|site] [--max N] [--json PATH] [--export FILE]\n"
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
    "  --export FILE    after the run, write the records read to FILE: .xlsx (a spreadsheet),\n"
    "                   .csv (UTF-8 with a byte-order mark) or .ris (for reference managers),\n"
    "                   with the PDFs the patent library knows of them\n"
    "OPS only: one record per CN application, all its publications among the hits in it.\n"
    "  --applicant TEXT, --inventor TEXT  names (pa, in)\n"
    "  --text TEXT      words of the title or the abstract (ta)\n"
    "  --cpc CODE       a CPC class\n"
    "  --number CN...   a publication or application number\n"
    "  --from DATE, --to DATE  publication dates, both included: YYYY, YYYY-MM, YYYY-MM-DD\n"
    "                   or YYYYMMDD\n"
    "  --no-translate   Chinese words as typed only (by default also as their English\n"
    "                   equivalents from the built-in glossary)\n"
    "  --family         each record's family: its size, offices and foreign publications\n"
    "                   (one family request per family)\n"
    "  --collapse family  one row per family; --max then counts families\n"
    "The conditions are combined by and.\n"
    "Every record read also goes into the patent library (<data root>/data/library.db).\n"
    "Progress lines go to stdout as they come. The report is written to\n"
    "<data root>/data/query/<expression>.html (data root from savefile.ini) and its absolute\n"
    "path is the last line printed. Why a run ended early goes to standard error.\n"
    "Exit status: 0 report written, 1 the run ended early or the export could not be written,\n"
    "2 wrong usage (an export file of another suffix too), no condition, or a query that\n"
    "cannot be sent (a date that does not read, --to before --from, more terms than OPS takes).\n";

TJson DateOrNull(const std::string& yyyymmdd) {
  if (yyyymmdd.size() != 8) return nullptr;
  return yyyymmdd.substr(0, 4) + "-" + yyyymmdd.substr(4, 2) + "-" + yyyymmdd.substr(6, 2);
}

// OPS's fields of a record, by the names analysts' tools read.
void AddFacts(TJson& record, const TSearchFacts& f, bool family) {
  TJson publications = TJson::array();
  for (const TPublicationFact& p : f.publications) publications.push_back(p.shown);
  record["publications"] = std::move(publications);
  record["application_date"] = DateOrNull(f.applicationDate);
  record["publication_date"] = DateOrNull(f.PublicationDate());
  record["grant_date"] = DateOrNull(f.GrantDate());
  TJson priorities = TJson::array();
  for (const auto& [number, date] : f.priorities) priorities.push_back({{"number", number}, {"date", DateOrNull(date)}});
  record["priorities"] = std::move(priorities);
  record["applicants"] = Strings(f.applicants);
  record["applicants_latin"] = Strings(f.applicantsLatin);
  record["inventors"] = Strings(f.inventors);
  record["ipc"] = Strings(f.ipc);
  record["cpc"] = Strings(f.cpc);
  record["family_id"] = TextOrNull(f.familyId);
  record["cited_count"] = f.citedCount;
  record["expiry_estimate"] = TextOrNull(f.expiryEstimate);
  if (!family) return;
  record["family_size"] = f.family ? TJson(f.family->size) : TJson(nullptr);
  record["family_countries"] = Strings(f.family ? f.family->countries : std::vector<std::string>{});
  TJson foreign = TJson::array();
  if (f.family)
    for (const TPublicationFact& p : f.family->foreign)
      foreign.push_back({{"publication", p.shown}, {"link", p.link}, {"date", DateOrNull(p.date)}});
  record["family_publications"] = std::move(foreign);
}

TJson RecordJson(const TSearchRecord& r, bool family) {
  TJson record;
  record["number"] = GbkToUtf8(r.number);
  if (!r.publication.empty()) record["publication"] = GbkToUtf8(r.publication);
  record["type"] = GbkToUtf8(r.typeName);
  record["title"] = r.titleUtf8.empty() ? GbkToUtf8(r.title) : r.titleUtf8;
  record["class"] = GbkToUtf8(r.classification);
  record["legal_status"] = GbkOrNull(r.legalStatus);
  record["patentee"] = GbkOrNull(r.patentee);
  record["abstract"] = GbkOrNull(r.abstractText);
  record["first_claim"] = GbkOrNull(r.firstClaim);
  if (r.facts) AddFacts(record, *r.facts, family);
  if (!r.twins.empty()) {
    TJson twins = TJson::array();
    for (const TSearchRecord& t : r.twins) twins.push_back(RecordJson(t, family));
    record["family_applications"] = std::move(twins);
  }
  return record;
}

std::string Json(const std::string& expression, const TSearchResult& result, bool family) {
  TJson records = TJson::array();
  for (const TSearchRecord& r : result.records) records.push_back(RecordJson(r, family));
  TJson json;
  json["expression"] = GbkToUtf8(expression);
  json["count"] = result.count;
  if (result.applications >= 0) {
    json["applications"] = result.applications;
    json["applications_exact"] = result.applicationsExact;
  }
  json["records"] = std::move(records);
  return JsonText(json);
}

// The run's records into file; false (and why on standard error) when it cannot be written.
bool ExportRun(const TPath& file, const std::vector<TPatentRecord>& records) {
  try {
    ExportRecords(WithKnownDocuments(datadir::Root(), records), file, datadir::Root());
    return true;
  } catch (const std::exception& e) {
    PrintLine(stderr, e.what());
    return false;
  }
}

}  // namespace

int RunSearchCommand(int argc, char** argv) {
  std::string jsonPath, exportPath;
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
    if (read == TSearchArgument::NotSearch && a == "--export") {
      int at = int(i);
      ok = ReadOptionValue(argc, argv, at, exportPath) && ExportFormatOf(TPath::FromSystem(exportPath));
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
  if (kind != TSourceKind::Ops && !options.opsOnly.empty()) {
    std::fprintf(stderr, "varnolt-cli search: %s needs --source ops\n", options.opsOnly.front().c_str());
    return 2;
  }
  // A query OPS would refuse is never sent.
  if (const std::string problem = SearchAskProblem(kind, ask); !problem.empty()) {
    PrintLine(stderr, problem);
    return 2;
  }
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
  if (!jsonPath.empty() && !WriteJson(jsonPath, Json(expression, *result, ask.family))) return finished ? 2 : 1;
  if (!exportPath.empty() && !ExportRun(TPath::FromSystem(exportPath), result->patents)) return 1;
  if (!finished) return 1;
  PrintPath(stdout, reportPath);
  return 0;
}
