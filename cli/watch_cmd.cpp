// varnolt-cli watch: saved searches that say what is new.
#include <cstdio>
#include <string>
#include <vector>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/errors.h"
#include "base/gbk.h"
#include "cli/commandline.h"
#include "cli/commands.h"
#include "library/watches.h"
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

// The watch as `watch add` would take it (UTF-8).
std::string WatchWords(const TWatch& w) {
  std::vector<std::string> words = w.search;
  if (w.download) words.push_back("--download");
  if (w.download && w.document != "grant") {
    words.push_back("--document");
    words.push_back(w.document);
  }
  if (w.ocr) words.push_back("--ocr");
  if (w.legal) words.push_back("--legal");
  return ShellWords(words);
}

// Its last run as the list says it (GBK).
std::string LastRunText(const TWatch& w) {
  if (!w.lastRun) return kNeverRun;
  const TWatchRunSummary& r = *w.lastRun;
  std::string text = kLastRun + r.started + kNewHead + std::to_string(r.fresh) + kChangedHead +
                     std::to_string(r.changed) + kCountTail;
  if (r.ended.empty()) return text + kNotEnded;
  if (r.outcome != "done") text += kEndedEarly + Utf8ToGbk(r.outcome);
  return text;
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
  PrintLine(stdout, kAdded + Utf8ToGbk(name + "  " + WatchWords(watch)));
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
    PrintLine(stdout, Utf8ToGbk(w.name + "\t" + WatchWords(w) + "\t") + LastRunText(w) + "\t" + kKnownHead +
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
  return Usage(command);
}
