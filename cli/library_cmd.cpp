#include <cstdio>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "base/gbk.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "library/export.h"
#include "library/import.h"
#include "library/library.h"
#include "library/librarytexts.h"

namespace {

const char kHelp[] =
    "usage: varnolt-cli library find WORDS... [--json PATH] [--limit N]\n"
    "       varnolt-cli library import\n"
    "       varnolt-cli library export FILE [WORDS...]\n"
    "\n"
    "The patent library is <data root>/data/library.db (SQLite): every record that searches,\n"
    "downloads and imports met, with the text of the PDFs' pages where they have a text layer.\n"
    "  find     the records that hold every word (in a title, abstract, applicant, inventor,\n"
    "           first claim or page text; English without regard to case), best first, one\n"
    "           line each: application number, title, and where the words are (the field,\n"
    "           or 第N页 of which PDF). --limit N: at most N records (default 50, 0 for all);\n"
    "           --json PATH: the hits with their snippets as JSON (UTF-8).\n"
    "  import   fills the library from the search reports in data/query/ and the PDFs in\n"
    "           data/pdf/ as they are; running it again adds nothing twice.\n"
    "  export   writes every record, or those the words find, to FILE: .xlsx (a spreadsheet),\n"
    "           .csv (UTF-8 with a byte-order mark) or .ris (for Zotero, EndNote and the like).\n"
    "Exit status: find 0 with hits, 1 with none; import and export 0 when done, 1 when the\n"
    "library or the file could not be used (or export's words found nothing); 2 wrong usage.\n";

int Usage(const std::string& bad) {
  if (!bad.empty()) std::fprintf(stderr, "varnolt-cli library: bad argument '%s'\n\n", bad.c_str());
  std::fputs(kHelp, stderr);
  return 2;
}

void Out(FILE* out, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

int Find(const std::vector<std::string>& words, const std::string& jsonPath, int limit) {
  TLibrary library(datadir::Root());
  TFindOptions options;
  options.limit = size_t(limit);
  const std::vector<TFindHit> hits = library.Find(words, options);
  TJson records = TJson::array();
  for (const TFindHit& h : hits) {
    std::string where;
    TJson places = TJson::array();
    for (const TFindPlace& p : h.places) {
      where += (where.empty() ? "" : ", ") + FindPlaceName(p);
      TJson place;
      place["field"] = p.field;
      if (p.field == "page") {
        place["document"] = ValidUtf8(p.document);
        place["page"] = p.page;
      }
      place["snippet"] = p.snippet;
      places.push_back(std::move(place));
    }
    Out(stdout, h.application + "\t" + h.title + "\t" + where);
    TJson record;
    record["application"] = h.application;
    record["title"] = h.title;
    record["score"] = h.score;
    record["places"] = std::move(places);
    records.push_back(std::move(record));
  }
  if (!jsonPath.empty()) {
    TJson doc;
    doc["words"] = words;
    doc["records"] = std::move(records);
    if (!WriteJson(jsonPath, JsonText(doc))) return 2;
  }
  return hits.empty() ? 1 : 0;
}

int Import() {
  using namespace librarycli;
  const TImportCounts c = ImportDataRoot(datadir::Root(), [](const std::string& line) { PrintLine(stderr, line); });
  PrintLine(stdout, kImportReports + std::to_string(c.reports) + kImportRows + std::to_string(c.reportRecords) +
                        kImportPdfs + std::to_string(c.pdfs) + kImportPages + std::to_string(c.pagesWithText) +
                        kImportAdded + std::to_string(c.addedRecords) + kImportAddedDocs +
                        std::to_string(c.addedDocuments) + kImportOther + std::to_string(c.otherFiles) + kImportTail);
  return 0;
}

int Export(const TPath& file, const std::vector<std::string>& words) {
  TLibrary library(datadir::Root());
  std::vector<TPatentRecord> records;
  if (words.empty()) {
    records = library.Records();
  } else {
    TFindOptions all;
    all.limit = 0;
    std::vector<int64_t> ids;
    for (const TFindHit& h : library.Find(words, all)) ids.push_back(h.recordId);
    if (ids.empty()) {
      PrintLine(stderr, librarycli::kNoHits);
      return 1;
    }
    records = library.Records(ids);
  }
  ExportRecords(records, file, library.Root());
  PrintLine(stdout, librarycli::kExported + std::to_string(records.size()));
  PrintPath(stdout, file);
  return 0;
}

}  // namespace

int RunLibraryCommand(int argc, char** argv) {
  if (argc < 1) return Usage("");
  const std::string command = argv[0];
  if (command == "--help" || command == "-h") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  std::vector<std::string> words;
  std::string jsonPath;
  int limit = 50;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (command == "find" && a == "--json") {
      if (!ReadOptionValue(argc, argv, i, jsonPath)) return Usage(a);
    } else if (command == "find" && a == "--limit") {
      if (!ReadOptionNumber(argc, argv, i, 0, 1000000, limit)) return Usage(a);
    } else if (a.size() > 1 && a.rfind("--", 0) == 0) {
      return Usage(a);
    } else {
      words.push_back(a);
    }
  }
  datadir::LoadRootAtStart();
  try {
    if (command == "find") {
      if (words.empty()) return Usage("");
      return Find(words, jsonPath, limit);
    }
    if (command == "import") {
      if (!words.empty()) return Usage(words.front());
      return Import();
    }
    if (command == "export") {
      if (words.empty()) return Usage("");
      const TPath file = TPath::FromSystem(words.front());
      if (!ExportFormatOf(file)) {
        PrintLine(stderr, librarytext::kUnknownFormat + file.ShownText());
        return 2;
      }
      return Export(file, std::vector<std::string>(words.begin() + 1, words.end()));
    }
  } catch (const std::exception& e) {
    PrintLine(stderr, e.what());
    return command == "find" ? 2 : 1;
  }
  return Usage(command);
}
