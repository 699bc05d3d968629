// varnolt-cli watch: saved searches that say what is new.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/datadir.h"
#include "base/errors.h"
#include "base/gbk.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "library/desktopnotify.h"
#include "library/watches.h"
#include "library/watchrun.h"
#include "library/watchschedule.h"
#include "library/watchtexts.h"
#include "search/searchargs.h"
#include "shell/shelltexts.h"

using namespace watchtext;

namespace {

const char kHelp[] =
    "usage: varnolt-cli watch add NAME [search options] [--download] [--document grant|application|both]\n"
    "                             [--ocr] [--legal]\n"
    "       varnolt-cli watch list\n"
    "       varnolt-cli watch remove NAME...\n"
    "       varnolt-cli watch run NAME... | --all [--json PATH] [--notify]\n"
    "       varnolt-cli watch schedule [daily|weekly|off]\n"
    "\n"
    "A watch is a saved OPS search that says what is new since it last ran.\n"
    "  add       saves the search (the options of 'varnolt-cli search', see its --help) under\n"
    "            NAME, and what to do with the news: --download the new documents (--document\n"
    "            as for 'varnolt-cli download', default grant; --ocr with a text layer; either\n"
    "            implies --download); --legal: a known application's legal change is news too\n"
    "            (one legal-status request per known application and run)\n"
    "  list      name, the watch as added, its last run and news, the applications it knows\n"
    "  remove    forgets the watches (their reports stay in data/watch/)\n"
    "  run       runs the watches: new applications, and known ones with a new publication\n"
    "            (a grant) or, with --legal, a new legal event or state; the report goes to\n"
    "            data/watch/NAME/DATE.html, one line per news item and the report's path last.\n"
    "            --json PATH: {\"watch\", \"new\": [records], \"changed\": [...]} (one object per\n"
    "            watch, in an array with several). --notify: a desktop notification of the news\n"
    "  schedule  runs every watch daily or weekly by a systemd user timer (varnolt-watch.timer),\n"
    "            or no more (off); without an argument, says how it is set\n"
    "Exit status: 0 done (with or without news), 1 a run ended early or the library or the\n"
    "schedule could not be used, 2 wrong usage (a name that exists or does not, an empty\n"
    "search, a bad option).\n";

int Usage(const std::string& bad) {
  if (!bad.empty()) std::fprintf(stderr, "varnolt-cli watch: bad argument '%s'\n\n", bad.c_str());
  std::fputs(kHelp, stderr);
  return 2;
}

// A failure of the library: one line, exit 1.
int LibraryFailed(const std::exception& e) {
  PrintLine(stderr, e.what());
  return 1;
}

int Add(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("");
  const std::string& name = args[0];
  const std::string problem = WatchNameProblem(name);
  if (!problem.empty()) {
    PrintLine(stderr, problem);
    return 2;
  }
  TWatch watch;
  watch.name = name;
  TSearchOptions options;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const size_t at = i;
    const TSearchArgument read = ReadSearchArgument(args, i, options);
    if (read == TSearchArgument::Read) {
      watch.search.insert(watch.search.end(), args.begin() + long(at), args.begin() + long(i) + 1);
      continue;
    }
    if (read == TSearchArgument::Bad) return Usage(a);
    if (a == "--download") {
      watch.download = true;
    } else if (a == "--document" && i + 1 < args.size() && ReadDocumentChoice(args[i + 1])) {
      watch.document = args[++i];
      watch.download = true;
    } else if (a == "--ocr") {
      watch.ocr = watch.download = true;
    } else if (a == "--legal") {
      watch.legal = true;
    } else {
      return Usage(a);
    }
  }
  if (options.source == TSourceKind::Site) {
    PrintLine(stderr, kOpsOnly);
    return 2;
  }
  if (SearchExpression(TSourceKind::Ops, options.ask).empty()) {
    PrintLine(stderr, shelltext::kNoCondition);
    return 2;
  }
  try {
    datadir::LoadRootAtStart();
    TLibrary library(datadir::Root());
    if (!TWatchStore(library).Add(watch)) {
      PrintLine(stderr, kNameTaken + Utf8ToGbk(name));
      return 2;
    }
  } catch (const std::exception& e) {
    return LibraryFailed(e);
  }
  PrintLine(stdout, kAdded + Utf8ToGbk(name + "  " + ShellWords(WatchArguments(watch))));
  return 0;
}

int List(const std::vector<std::string>& args) {
  if (!args.empty()) return Usage(args[0]);
  std::vector<TWatch> watches;
  try {
    datadir::LoadRootAtStart();
    TLibrary library(datadir::Root());
    watches = TWatchStore(library).List();
  } catch (const std::exception& e) {
    return LibraryFailed(e);
  }
  if (watches.empty()) PrintLine(stdout, kNoWatches);
  for (const TWatch& w : watches)
    PrintLine(stdout, Utf8ToGbk(w.name + "\t" + ShellWords(WatchArguments(w)) + "\t") + WatchLastRunText(w) + "\t" + kKnownHead +
                          std::to_string(w.known) + kCountTail);
  return 0;
}

int Remove(const std::vector<std::string>& args) {
  if (args.empty()) return Usage("");
  try {
    datadir::LoadRootAtStart();
    TLibrary library(datadir::Root());
    TWatchStore store(library);
    // Every name is checked before any is removed: a mistyped one removes nothing.
    for (const std::string& name : args)
      if (!store.Find(name)) {
        PrintLine(stderr, kNoSuchWatch + Utf8ToGbk(name));
        return 2;
      }
    for (const std::string& name : args) {
      store.Remove(name);
      PrintLine(stdout, kRemoved + Utf8ToGbk(name));
    }
  } catch (const std::exception& e) {
    return LibraryFailed(e);
  }
  return 0;
}

const char* ScheduleText(TWatchSchedule schedule) {
  switch (schedule) {
    case TWatchSchedule::Daily: return kScheduleDaily;
    case TWatchSchedule::Weekly: return kScheduleWeekly;
    case TWatchSchedule::Off: break;
  }
  return kScheduleOff;
}

int Schedule(const std::vector<std::string>& args) {
  if (args.empty()) {
    PrintLine(stdout, ScheduleText(ReadWatchSchedule()));
    return 0;
  }
  TWatchSchedule schedule;
  if (args.size() > 1) return Usage(args[1]);
  if (!ReadWatchScheduleName(args[0], schedule)) return Usage(args[0]);
  const TPath cli = ProgramDirectory().Entry("varnolt-cli");
  TScheduleOutcome outcome;
  try {
    outcome = SetWatchSchedule(schedule, cli);
  } catch (const std::exception& e) {
    PrintLine(stderr, e.what());
    return 1;
  }
  if (!outcome.applied) {
    PrintLine(stderr, outcome.reason);
    // Off holds without a manager: nothing runs the units.
    if (schedule == TWatchSchedule::Off) {
      PrintLine(stdout, ScheduleText(ReadWatchSchedule()));
      return 0;
    }
    PrintLine(stderr, kScheduleKept);
    std::fprintf(stderr, "%s\n", WatchCrontabLine(schedule, cli).c_str());
    return 1;
  }
  PrintLine(stdout, ScheduleText(ReadWatchSchedule()));
  return 0;
}

// A record of the news, by the names of the search's --json.
TJson RecordJson(const TPatentRecord& r) {
  TJson j;
  j["number"] = r.application;
  TJson publications = TJson::array();
  for (const TPublicationRef& p : r.publications) publications.push_back(p.number);
  j["publications"] = std::move(publications);
  j["type"] = TextOrNull(r.patentType);
  j["title"] = TextOrNull(r.title);
  j["title_en"] = TextOrNull(r.titleEn);
  j["legal_status"] = TextOrNull(r.legalStatus);
  j["applicants"] = Strings(r.applicants);
  j["applicants_latin"] = Strings(r.applicantsLatin);
  j["inventors"] = Strings(r.inventors);
  j["application_date"] = TextOrNull(r.applicationDate);
  j["publication_date"] = TextOrNull(r.publicationDate);
  j["grant_date"] = TextOrNull(r.grantDate);
  j["ipc"] = Strings(r.ipc);
  j["cpc"] = Strings(r.cpc);
  j["family_id"] = TextOrNull(r.familyId);
  j["expiry_estimate"] = TextOrNull(r.expiryEstimate);
  j["pdfs"] = Strings(r.pdfs);
  return j;
}

TJson RunJson(const TWatchRunResult& run) {
  TJson j;
  j["watch"] = run.name;
  TJson fresh = TJson::array(), changed = TJson::array();
  for (const TWatchNews& n : run.news) {
    if (n.fresh) fresh.push_back(RecordJson(n.record));
    for (const TWatchChange& c : n.changes)
      changed.push_back({{"number", c.application}, {"what", WatchChangeName(c.what)}, {"before", c.before},
                         {"after", c.after}});
  }
  j["new"] = std::move(fresh);
  j["changed"] = std::move(changed);
  j["report"] = run.report.Empty() ? TJson(nullptr) : TJson(AbsolutePath(run.report).Shown());
  j["ended_early"] = run.error.empty() ? TJson(nullptr) : TJson(GbkToUtf8(run.error));
  return j;
}

// The news, one line each (GBK): what, the application, what it is now, the title.
void PrintNews(const TWatchRunResult& run) {
  for (const TWatchNews& n : run.news) {
    const std::string title = Utf8ToGbk(n.record.title.empty() ? n.record.titleEn : n.record.title);
    if (n.fresh) {
      std::string publications;
      for (const TPublicationRef& p : n.record.publications) publications += (publications.empty() ? "" : " ") + p.number;
      PrintLine(stdout, std::string(kLineNew) + "\t" + n.record.application + "\t" + publications + "\t" + title);
      continue;
    }
    for (const TWatchChange& c : n.changes) {
      if (c.what == TWatchChange::TWhat::Publication) {
        // The publications that came, alone.
        auto list = [](const std::string& joined) {
          std::vector<std::string> items;
          for (const std::string& p : SplitAt(joined, ';')) items.push_back(TrimBytes(p));
          return items;
        };
        std::string fresh;
        const std::vector<std::string> before = list(c.before);
        for (const std::string& p : list(c.after))
          if (std::find(before.begin(), before.end(), p) == before.end()) fresh += (fresh.empty() ? "" : " ") + p;
        PrintLine(stdout, std::string(kLinePublication) + "\t" + c.application + "\t" + fresh + "\t" + title);
        continue;
      }
      const char* what = c.what == TWatchChange::TWhat::LegalState ? kLineLegalState : kLineLegalEvent;
      PrintLine(stdout, std::string(what) + "\t" + c.application + "\t" + Utf8ToGbk(c.before) + kMarkArrow +
                            Utf8ToGbk(c.after) + "\t" + title);
    }
  }
}

int RunWatches(const std::vector<std::string>& args) {
  bool all = false, notify = false;
  std::string jsonPath;
  std::vector<std::string> names;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--all") {
      all = true;
    } else if (a == "--notify") {
      notify = true;
    } else if (a == "--json" && i + 1 < args.size()) {
      jsonPath = args[++i];
    } else if (!a.empty() && a[0] != '-') {
      names.push_back(a);
    } else {
      return Usage(a);
    }
  }
  if (all == !names.empty()) return Usage(all ? names.front() : "");
  std::vector<TWatch> watches;
  try {
    datadir::LoadRootAtStart();
    TLibrary library(datadir::Root());
    TWatchStore store(library);
    if (all) watches = store.List();
    for (const std::string& name : names) {
      std::optional<TWatch> w = store.Find(name);
      if (!w) {
        PrintLine(stderr, kNoSuchWatch + Utf8ToGbk(name));
        return 2;
      }
      watches.push_back(*w);
    }
  } catch (const std::exception& e) {
    return LibraryFailed(e);
  }
  if (watches.empty()) {
    PrintLine(stdout, kNoWatches);
    return 0;
  }
  if (!CredentialsReady(TSourceKind::Ops)) return 2;
  TJson runs = TJson::array();
  bool early = false;
  for (const TWatch& w : watches) {
    TWatchRunResult run;
    try {
      run = RunWatch(w, [](const std::string& line) { PrintLine(stdout, line); });
    } catch (const std::exception& e) {
      return LibraryFailed(e);
    }
    PrintLine(stdout, kSummaryHead + Utf8ToGbk(w.name) + kSummaryNew + std::to_string(run.Fresh()) + kSummaryChanged +
                          std::to_string(run.Changed()) + kCountTail);
    PrintNews(run);
    if (!run.error.empty()) {
      PrintLine(stderr, run.error);
      early = true;
    }
    if (notify && !run.news.empty())
      DesktopNotify(GbkToUtf8(kNotifySummaryHead + Utf8ToGbk(w.name) + kNotifySummaryTail),
                    GbkToUtf8(std::string(kLineNew) + " " + std::to_string(run.Fresh()) + kCountTail + "\n" +
                              kLinePublication + "/" + kLineLegalState + " " + std::to_string(run.Changed()) + kCountTail));
    if (!run.report.Empty()) PrintPath(stdout, run.report);
    runs.push_back(RunJson(run));
  }
  if (!jsonPath.empty() && !WriteJson(jsonPath, JsonText(runs.size() == 1 ? runs[0] : runs))) return 1;
  return early ? 1 : 0;
}

}  // namespace

int RunWatchCommand(int argc, char** argv) {
  const std::vector<std::string> args(argv, argv + argc);
  if (args.empty()) return Usage("");
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "--help" || command == "-h") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (command == "add") return Add(rest);
  if (command == "list") return List(rest);
  if (command == "remove") return Remove(rest);
  if (command == "schedule") return Schedule(rest);
  if (command == "run") return RunWatches(rest);
  return Usage(command);
}
