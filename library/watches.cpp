#include "library/watches.h"

#include <algorithm>

#include "base/gbk.h"
#include "library/jsonlists.h"
#include "library/sqlite.h"
#include "library/watchtexts.h"

using namespace watchtext;

namespace {

constexpr size_t kMaxNameCharacters = 64;

// The columns of a watch and of its last run, in the order ReadWatch takes them.
const char kWatchColumns[] =
    "w.id, w.name, w.search, w.download, w.document, w.ocr, w.legal, w.created, w.searched_through, "
    "(SELECT count(*) FROM watch_seen s WHERE s.watch_id = w.id), "
    "(SELECT coalesce(sum(new_count + changed_count), 0) FROM watch_runs r WHERE r.watch_id = w.id "
    "   AND r.run_id > w.read_run_id), "
    "(SELECT max(run_id) FROM watch_runs r WHERE r.watch_id = w.id)";

const char kRunColumns[] =
    "r.run_id, u.started, coalesce(u.ended, ''), u.outcome, r.searched_from, r.new_count, r.changed_count, r.report";

TWatchRunSummary ReadRun(const TStatement& q) {
  TWatchRunSummary run;
  run.runId = q.Int(0);
  run.started = q.Text(1);
  run.ended = q.Text(2);
  run.outcome = q.Text(3);
  run.searchedFrom = q.Text(4);
  run.fresh = int(q.Int(5));
  run.changed = int(q.Int(6));
  run.report = q.Text(7);
  return run;
}

}  // namespace

std::string WatchNameProblem(const std::string& name) {
  if (name.empty()) return kNameEmpty;
  if (ValidUtf8(name) != name) return kNameNotUtf8;
  size_t characters = 0;
  for (unsigned char c : name) {
    if ((c & 0xC0) != 0x80) ++characters;
    if (c < 0x20 || c == 0x7F || c == '/') return kNameBadCharacter;
  }
  if (characters > kMaxNameCharacters) return kNameTooLong;
  if (name == "." || name == "..") return kNameDots;
  if (name[0] == '-') return kNameDash;
  return "";
}

bool TWatchStore::Add(TWatch& watch) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  {
    TStatement taken(db, "SELECT 1 FROM watches WHERE name = ?");
    taken.Bind(1, watch.name);
    if (taken.Step()) return false;
  }
  watch.created = LibraryTimeNow();
  TStatement q(db,
               "INSERT INTO watches(name, search, download, document, ocr, legal, created) VALUES(?, ?, ?, ?, ?, ?, ?)");
  q.Bind(1, watch.name).Bind(2, ListJson(watch.search)).Bind(3, int64_t(watch.download)).Bind(4, watch.document);
  q.Bind(5, int64_t(watch.ocr)).Bind(6, int64_t(watch.legal)).Bind(7, watch.created).Run();
  watch.id = db.LastInsertId();
  t.Commit();
  return true;
}

bool TWatchStore::Remove(const std::string& name) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  TStatement q(db, "DELETE FROM watches WHERE name = ?");
  q.Bind(1, name).Run();
  const bool removed = db.Changes() > 0;
  t.Commit();
  return removed;
}

std::vector<TWatch> TWatchStore::List() { return Read("", ""); }

std::optional<TWatch> TWatchStore::Find(const std::string& name) {
  std::vector<TWatch> found = Read("WHERE w.name = ?1", name);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::vector<TWatch> TWatchStore::Read(const std::string& where, const std::string& name) {
  TSqlite& db = library_.Db();
  std::vector<TWatch> watches;
  std::vector<int64_t> lastRuns;
  {
    TStatement q(db, std::string("SELECT ") + kWatchColumns + " FROM watches w " + where + " ORDER BY w.name");
    if (!where.empty()) q.Bind(1, name);
    while (q.Step()) {
      TWatch w;
      w.id = q.Int(0);
      w.name = q.Text(1);
      w.search = ListFrom(q.Text(2));
      w.download = q.Int(3) != 0;
      w.document = q.Text(4);
      w.ocr = q.Int(5) != 0;
      w.legal = q.Int(6) != 0;
      w.created = q.Text(7);
      w.searchedThrough = q.Text(8);
      w.known = int(q.Int(9));
      w.unread = int(q.Int(10));
      lastRuns.push_back(q.IsNull(11) ? 0 : q.Int(11));
      watches.push_back(std::move(w));
    }
  }
  TStatement run(db, std::string("SELECT ") + kRunColumns + " FROM watch_runs r JOIN runs u ON u.id = r.run_id "
                                                            "WHERE r.run_id = ?");
  for (size_t i = 0; i < watches.size(); ++i) {
    if (!lastRuns[i]) continue;
    run.Bind(1, lastRuns[i]);
    if (run.Step()) {
      watches[i].lastRun = ReadRun(run);
      run.Reset();
    }
  }
  return watches;
}

std::map<std::string, TWatchSeen> TWatchStore::Seen(int64_t watchId) {
  std::map<std::string, TWatchSeen> seen;
  TStatement q(library_.Db(),
               "SELECT application, publications, legal_state, legal_event FROM watch_seen WHERE watch_id = ?");
  q.Bind(1, watchId);
  while (q.Step()) {
    TWatchSeen s{q.Text(0), ListFrom(q.Text(1)), q.Text(2), q.Text(3)};
    seen.emplace(s.application, std::move(s));
  }
  return seen;
}

void TWatchStore::See(int64_t watchId, int64_t runId, const TWatchSeen& seen) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  std::vector<std::string> publications;
  std::string state, event;
  bool known = false;
  {
    TStatement q(db, "SELECT publications, legal_state, legal_event FROM watch_seen WHERE watch_id = ? AND application = ?");
    q.Bind(1, watchId).Bind(2, seen.application);
    if (q.Step()) {
      known = true;
      publications = ListFrom(q.Text(0));
      state = q.Text(1);
      event = q.Text(2);
      q.Reset();
    }
  }
  // A narrowed search shows only the publications of its days: the others stay known.
  for (const std::string& p : seen.publications)
    if (std::find(publications.begin(), publications.end(), p) == publications.end()) publications.push_back(p);
  std::sort(publications.begin(), publications.end());
  if (!seen.legalState.empty()) {
    state = seen.legalState;
    event = seen.legalEvent;
  }
  const std::string now = LibraryTimeNow();
  if (known) {
    TStatement u(db,
                 "UPDATE watch_seen SET publications = ?, legal_state = ?, legal_event = ?, updated = ? "
                 "WHERE watch_id = ? AND application = ?");
    u.Bind(1, ListJson(publications)).Bind(2, state).Bind(3, event).Bind(4, now).Bind(5, watchId);
    u.Bind(6, seen.application).Run();
  } else {
    TStatement i(db,
                 "INSERT INTO watch_seen(watch_id, application, publications, legal_state, legal_event, first_run_id, "
                 "updated) VALUES(?, ?, ?, ?, ?, ?, ?)");
    i.Bind(1, watchId).Bind(2, seen.application).Bind(3, ListJson(publications)).Bind(4, state).Bind(5, event);
    i.Bind(6, runId).Bind(7, now).Run();
  }
  t.Commit();
}

void TWatchStore::RunStarted(int64_t watchId, int64_t runId, const std::string& searchedFrom) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  TStatement q(db, "INSERT INTO watch_runs(run_id, watch_id, searched_from) VALUES(?, ?, ?)");
  q.Bind(1, runId).Bind(2, watchId).Bind(3, searchedFrom).Run();
  t.Commit();
}

void TWatchStore::RunEnded(int64_t watchId, int64_t runId, int fresh, int changed, const std::string& report,
                           const std::string& searchedThrough) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  TStatement q(db, "UPDATE watch_runs SET new_count = ?, changed_count = ?, report = ? WHERE run_id = ?");
  q.Bind(1, fresh).Bind(2, changed).Bind(3, report).Bind(4, runId).Run();
  if (!searchedThrough.empty()) {
    TStatement w(db, "UPDATE watches SET searched_through = ? WHERE id = ?");
    w.Bind(1, searchedThrough).Bind(2, watchId).Run();
  }
  t.Commit();
}

std::vector<TWatchRunSummary> TWatchStore::Runs(int64_t watchId) {
  std::vector<TWatchRunSummary> runs;
  TStatement q(library_.Db(), std::string("SELECT ") + kRunColumns +
                                  " FROM watch_runs r JOIN runs u ON u.id = r.run_id WHERE r.watch_id = ? "
                                  "ORDER BY r.run_id DESC");
  q.Bind(1, watchId);
  while (q.Step()) runs.push_back(ReadRun(q));
  return runs;
}

void TWatchStore::MarkRead(int64_t watchId) {
  TSqlite& db = library_.Db();
  TTransaction t(db);
  TStatement q(db,
               "UPDATE watches SET read_run_id = (SELECT coalesce(max(run_id), 0) FROM watch_runs WHERE watch_id = ?1) "
               "WHERE id = ?1");
  q.Bind(1, watchId).Run();
  t.Commit();
}
