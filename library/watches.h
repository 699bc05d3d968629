#pragma once
// Watches as the library keeps them: a named saved search, what to do with its news, its
// runs, and what it has seen of each application. Every write is one transaction, so a run
// that is killed keeps what it had committed and loses nothing else. Texts UTF-8; failures
// throw ELibraryError.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "library/library.h"

// One run of a watch, as `watch list` and the desktop's window show it.
struct TWatchRunSummary {
  int64_t runId = 0;
  std::string started;       // "YYYY-MM-DD HH:MM:SS"
  std::string ended;         // "" when the run never ended (killed)
  std::string outcome;       // "done", or why it ended early
  std::string searchedFrom;  // the first publication day the search asked for; "" for all
  int fresh = 0, changed = 0;
  std::string report;        // relative to the data root; "" when none was written
};

struct TWatch {
  int64_t id = 0;
  std::string name;
  std::vector<std::string> search;  // the arguments of `varnolt-cli search`, as typed
  bool download = false;            // the new documents are downloaded
  std::string document = "grant";   // which ones: grant, application, both
  bool ocr = false;                 // with a text layer
  bool legal = false;               // legal changes of known applications are news too
  std::string created;
  // The source's day (YYYY-MM-DD) of the last run that read every hit; "" before one.
  std::string searchedThrough;
  // Read from the runs and what was seen; not written by Add.
  int known = 0;   // applications seen
  int unread = 0;  // news of the runs since the user last opened a report
  std::optional<TWatchRunSummary> lastRun;
};

// What a watch knows of one application.
struct TWatchSeen {
  std::string application;                // digits, as the library keeps them
  std::vector<std::string> publications;  // "CN116789012A", ...
  std::string legalState;                 // 有效, 失效, 审中, 未知; "" when never checked
  std::string legalEvent;                 // the latest event as the legal status names it
};

// Why a name cannot be a watch's (it names the folder of its reports): empty, too long, a
// "/", a control character, "." or "..", or a leading "-" (it would read as an option).
// "" when it can; the reason in GBK otherwise.
std::string WatchNameProblem(const std::string& utf8Name);

class TWatchStore {
 public:
  explicit TWatchStore(TLibrary& library) : library_(library) {}

  // Adds the watch (id and created set). False when the name is taken.
  bool Add(TWatch& watch);
  // Removes the watch, what it saw and its runs' rows (the runs stay in `runs`, the
  // reports on disk). False when there is none of that name.
  bool Remove(const std::string& name);
  std::vector<TWatch> List();
  std::optional<TWatch> Find(const std::string& name);

  // What the watch has seen, by application.
  std::map<std::string, TWatchSeen> Seen(int64_t watchId);
  // The application as the run saw it: added, or its publications joined to those known
  // and its legal state replaced when the run checked it ("" keeps the known one).
  void See(int64_t watchId, int64_t runId, const TWatchSeen& seen);

  // A run of the watch begins (its row in `runs` written already, as a TLibraryWriter does).
  void RunStarted(int64_t watchId, int64_t runId, const std::string& searchedFrom);
  // The run's news and report; searchedThrough, when not empty, becomes the watch's.
  void RunEnded(int64_t watchId, int64_t runId, int fresh, int changed, const std::string& report,
                const std::string& searchedThrough);
  // The runs of the watch, latest first.
  std::vector<TWatchRunSummary> Runs(int64_t watchId);
  // The user has seen the news of every run so far.
  void MarkRead(int64_t watchId);

 private:
  std::vector<TWatch> Read(const std::string& where, const std::string& name);

  TLibrary& library_;
};
