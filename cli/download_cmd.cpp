// varnolt-cli download: one download run without a window, with the options of a batch.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "cli/clitexts.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "download/downreport.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "shell/shelltexts.h"

namespace {

const char kHelp[] =
    "usage: varnolt-cli download [--file PATH] [--keep-going] [--retries N] [--skip-existing]\n"
    "                            [--jobs N] [--delay MS] [--ocr] [--source ops|site]\n"
    "                            [--document grant|application|both] [--json PATH] [NUMBER ...]\n"
    "\n"
    "Downloads the full text of patents by application number into one PDF each, below the\n"
    "data directory of savefile.ini (data/pdf), and writes the report data/temp/index.html.\n"
    "A number is 6, 8 or 12 digits as the site writes it; pasted forms are read as well:\n"
    "\"CN\" or \"ZL\" before it, \".\" and the check digit after it (checked), full-width digits,\n"
    "blanks around it (8 or 12 digits then; an entry that gives none is reported and skipped).\n"
    "\n"
    "  --file PATH       take the numbers from a text file, one per line; numbers typed after\n"
    "                    the options are added to them\n"
    "  --keep-going      a number that fails or is not found does not end the run: its row says\n"
    "                    why, the run goes on, and the failed numbers go to data/temp/failed.txt\n"
    "                    (take it with --file to try just them again)\n"
    "  --retries N       try a request again up to N times after a connection failure, a\n"
    "                    time-out or a 5xx or 429 reply: after 1 s, 2 s, 4 s ... (or the reply's\n"
    "                    Retry-After, at most 120 s); default 0\n"
    "  --skip-existing   a number whose PDF is already in data/pdf is not fetched again\n"
    "  --jobs N          download up to N records at once (1 to 8, default 1)\n"
    "  --delay MS        at least MS milliseconds between the starts of any two requests\n"
    "  --ocr             give every PDF an invisible text layer (tesseract, chi_sim and eng), so\n"
    "                    its text can be searched and copied; pages are recognised beside the\n"
    "                    downloads, one engine per core. A PDF appears with its text or the\n"
    "                    number fails; without tesseract's library or its models the PDFs\n"
    "                    come without text\n"
    "  --source ops|site where to download from: EPO's Open Patent Services (ops) or the\n"
    "                    patent search site of hosts.ini (site); without it the desktop's\n"
    "                    choice, else site in a program directory of your own and ops in an\n"
    "                    installed one. OPS also takes CN publication numbers (CN101911042B,\n"
    "                    CN1234567A, CN201234567U) and downloads design patents\n"
    "  --document grant|application|both\n"
    "                    OPS: the grant publication (B, C, U, Y, S, D) when there is one, else\n"
    "                    the application (A) (grant, the default); the application's (A); or\n"
    "                    both, one PDF each\n"
    "  --json PATH       after the run, describe every number in a JSON file (UTF-8)\n"
    "\n"
    "Progress lines go to standard output, the report's path last; why a number failed or the\n"
    "run ended goes to standard error.\n"
    "Exit status: 0 done, every number got its PDF (or was skipped); 3 done, but a number got\n"
    "no PDF (with or without --keep-going); 1 the run ended early; 2 wrong usage.\n"
    "Example of a batch that can be resumed:\n"
    "  varnolt-cli download --file list.txt --keep-going --skip-existing --retries 3 --jobs 4\n";

const char* StatusName(TNumberOutcome::TStatus status) {
  switch (status) {
    case TNumberOutcome::TStatus::Done: return "done";
    case TNumberOutcome::TStatus::Skipped: return "skipped";
    case TNumberOutcome::TStatus::Design: return "design";
    case TNumberOutcome::TStatus::Failed:
    case TNumberOutcome::TStatus::Pending: break;
  }
  return "failed";
}

// withTextLayer: the run was asked for text layers, and each number tells whether its PDF got one.
std::string Json(const TDownloadResult& result, bool withTextLayer) {
  TJson json = TJson::array();
  for (const TNumberOutcome& o : result.numbers) {
    const bool reached = o.status != TNumberOutcome::TStatus::Pending;
    const bool hasPdf =
        o.pdf && (o.status == TNumberOutcome::TStatus::Done || o.status == TNumberOutcome::TStatus::Skipped);
    TJson number;
    number["number"] = GbkToUtf8(o.number);
    if (o.publication) number["publication"] = GbkToUtf8(*o.publication);
    number["title"] = GbkOrNull(o.title);
    number["type"] = GbkToUtf8(o.typeName);
    number["class"] = GbkOrNull(o.classification);
    number["pages"] = o.pages ? TJson(*o.pages) : TJson(nullptr);
    number["pdf"] = hasPdf ? TJson(AbsolutePath(*o.pdf).Shown()) : TJson(nullptr);
    number["status"] = StatusName(o.status);
    if (withTextLayer) number["textLayer"] = o.textLayer;
    number["error"] = GbkOrNull(!reached         ? std::optional<std::string>(clitext::kNotReached)
                                : o.error.empty() ? std::nullopt
                                                  : std::optional<std::string>(o.error));
    json.push_back(std::move(number));
  }
  return JsonText(json);
}

}  // namespace

int RunDownloadCommand(int argc, char** argv) {
  TPath file;
  bool haveFile = false;
  std::string jsonPath;
  TBatchOptions options;
  std::vector<std::string> typed;
  std::optional<TSourceKind> source;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    bool ok = true;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--file") {
      std::string path;
      ok = ReadOptionValue(argc, argv, i, path);
      file = TPath::FromSystem(path);
      haveFile = true;
    } else if (a == "--json") {
      ok = ReadOptionValue(argc, argv, i, jsonPath);
    } else if (a == "--keep-going") {
      options.keepGoing = true;
    } else if (a == "--skip-existing") {
      options.skipExisting = true;
    } else if (a == "--ocr") {
      options.ocr = true;
    } else if (a == "--retries") {
      ok = ReadOptionNumber(argc, argv, i, 0, 100, options.retries);
    } else if (a == "--jobs") {
      ok = ReadOptionNumber(argc, argv, i, 1, 8, options.jobs);
    } else if (a == "--delay") {
      ok = ReadOptionNumber(argc, argv, i, 0, 3600000, options.delayMs);
    } else if (a == "--source") {
      ok = ReadSourceOption(argc, argv, i, source);
    } else if (a == "--document") {
      std::string name;
      std::optional<TDocumentChoice> choice;
      ok = ReadOptionValue(argc, argv, i, name) && (choice = ReadDocumentChoice(name));
      if (ok) options.document = *choice;
    } else if (a.rfind("--", 0) == 0) {
      ok = false;
    } else {
      typed.push_back(Utf8ToGbk(a));
    }
    if (!ok) {
      std::fprintf(stderr, "varnolt-cli download: bad argument '%s'\n\n", a.c_str());
      std::fputs(kHelp, stderr);
      return 2;
    }
  }

  options.source = ChooseSource(source);
  // As in the dialog: a file replaces the list, typed numbers are added to it.
  std::vector<std::string> entries, numbers;
  if (haveFile) {
    try {
      entries = ImportNumberFile(file);
    } catch (const EBaseException& e) {
      PrintLine(stderr, e.what());
      return 2;
    }
  }
  const size_t fromFile = entries.size();
  entries.insert(entries.end(), typed.begin(), typed.end());
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string message;
    switch (AddCliEntry(numbers, entries[i], i >= fromFile, options.source, message)) {
      case TCliEntry::Added: break;
      case TCliEntry::WrongLength: PrintLine(stderr, message); return 2;
      case TCliEntry::Refused: PrintLine(stderr, entries[i] + ": " + message); break;
    }
  }
  if (numbers.empty()) {
    PrintLine(stderr, shelltext::kEmptyNumberList);
    return 2;
  }

  if (!CredentialsReady(options.source)) return 2;
  datadir::LoadRootAtStart();
  PrintLine(stdout, shelltext::kRunStartLine);
  DirectHandOver handOver;
  handOver.onProgress = [](const std::string& line) { PrintLine(stdout, line); };
  auto result = std::make_shared<TDownloadResult>();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  // The run's thread has handed its end over; it must also have ended before main returns.
  getdown::WaitAllDone();
  const bool ended = handOver.FinishCount() == 0;

  bool anyFailed = false;
  for (const TNumberOutcome& o : result->numbers) {
    if (o.status != TNumberOutcome::TStatus::Failed) continue;
    anyFailed = true;
    if (!ended) PrintLine(stderr, o.number + ": " + o.error);
  }
  if (ended) PrintLine(stderr, result->error);
  if (!result->ocrUnavailable.empty()) PrintLine(stderr, result->ocrUnavailable);
  if (!jsonPath.empty() && !WriteJson(jsonPath, Json(*result, options.ocr))) return ended ? 1 : 2;
  if (ended) return 1;
  PrintPath(stdout, DownloadReportPath(datadir::Root()));
  return anyFailed ? 3 : 0;
}
