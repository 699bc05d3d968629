#include "library/watchrun.h"

#include <algorithm>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "base/appdir.h"
#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/handover.h"
#include "base/ini.h"
#include "download/getdown.h"
#include "library/charts.h"
#include "library/watchtexts.h"
#include "search/getquery.h"
#include "search/searchargs.h"
#include "search/searchreport.h"
#include "search/searchtexts.h"

using namespace watchtext;

namespace {

// A day moved by days, YYYY-MM-DD; "" for a day that does not read.
std::string AddDays(const std::string& day, int days) {
  const std::string d = NormalDate(day);
  if (d.empty()) return "";
  std::tm tm{};
  tm.tm_year = std::stoi(d.substr(0, 4)) - 1900;
  tm.tm_mon = std::stoi(d.substr(5, 2)) - 1;
  tm.tm_mday = std::stoi(d.substr(8, 2)) + days;
  tm.tm_hour = 12;
  const std::time_t t = timegm(&tm);
  std::tm out{};
  gmtime_r(&t, &out);
  char buf[16];
  std::strftime(buf, sizeof buf, "%Y-%m-%d", &out);
  return buf;
}

// The newest publication day of a record (YYYY-MM-DD); "" when it gives none.
std::string NewestDay(const TPatentRecord& r) {
  std::string newest = std::max(NormalDate(r.publicationDate), NormalDate(r.grantDate));
  for (const TPublicationRef& p : r.publications) newest = std::max(newest, NormalDate(p.date));
  return newest;
}

std::string Now() { return LongTime(std::time(nullptr)) + "\t"; }

// What the watch's search came to.
struct TSearchOutcome {
  std::vector<TPatentRecord> records;  // one per application, in the order read
  std::string error;                   // why it ended early (GBK); "" when it did not
  bool everyHit = false;               // every hit was read
  long count = 0;
  long applications = 0;
};

TSearchOutcome Search(const TSearchAsk& ask, const TProgress& progress) {
  DirectHandOver handOver;
  handOver.onProgress = progress;
  auto result = std::make_shared<TSearchResult>();
  new getquery(&handOver, TSourceKind::Ops, ask, result);
  handOver.WaitForEnd();
  getquery::WaitAllDone();
  TSearchOutcome outcome;
  outcome.count = result->count;
  // A run cut short still writes its report: its error says so. No hits is a search that worked.
  if (result->error == getquerytext::kNone)
    outcome.error.clear();
  else if (!result->error.empty())
    outcome.error = result->error;
  else if (handOver.FinishCount() == 0)
    outcome.error = kSearchFailed;
  std::set<std::string> met;
  for (const TPatentRecord& r : result->patents) {
    const std::string app = ApplicationDigits(r.application.empty() ? r.applicationOriginal : r.application);
    if (!app.empty() && met.insert(app).second) outcome.records.push_back(r);
  }
  outcome.everyHit = outcome.error.empty() && (result->count == 0 || result->applicationsExact);
  outcome.applications = result->applications < 0 ? long(outcome.records.size()) : result->applications;
  return outcome;
}

// The publications a download takes, per application.
struct TDownloads {
  std::map<std::string, std::vector<std::string>> wanted;  // application: publications
  std::set<std::string> failed;                            // applications whose documents did not all come
  std::map<std::string, std::vector<TPath>> pdfs;          // application: the PDFs written or there already
  std::string error;                                       // why the download ended early (GBK)
  int failures = 0;
};

void Download(const TWatch& watch, TDownloads& downloads, const TProgress& progress) {
  std::vector<std::string> numbers;
  std::map<std::string, std::string> applicationOf;
  for (const auto& [app, pubs] : downloads.wanted)
    for (const std::string& p : pubs) {
      numbers.push_back(p);
      applicationOf[p] = app;
    }
  if (numbers.empty()) return;
  progress(Now() + kDownloadHead + std::to_string(numbers.size()) + kDownloadTail);
  TBatchOptions options;
  options.keepGoing = true;  // one document that fails leaves the others' news to finish
  options.retries = 2;
  options.skipExisting = true;  // a PDF an earlier run ended before marking seen is there already
  options.source = TSourceKind::Ops;
  options.document = TDocumentChoice::Grant;  // a publication number then brings itself alone
  options.ocr = watch.ocr;
  DirectHandOver handOver;
  handOver.onProgress = progress;
  auto result = std::make_shared<TDownloadResult>();
  new getdown(&handOver, numbers, options, result);
  handOver.WaitForEnd();
  getdown::WaitAllDone();
  downloads.error = result->error;
  for (size_t i = 0; i < numbers.size(); ++i) {
    const std::string& app = applicationOf[numbers[i]];
    const TNumberOutcome* o = i < result->numbers.size() ? &result->numbers[i] : nullptr;
    const bool ok = o && (o->status == TNumberOutcome::TStatus::Done || o->status == TNumberOutcome::TStatus::Skipped);
    if (!ok) {
      downloads.failed.insert(app);
      ++downloads.failures;
    } else if (o->pdf) {
      downloads.pdfs[app].push_back(*o->pdf);
    }
  }
}

// The report's file: <date>.html in the watch's folder, or <date>-2.html and on when a
// run of the same day wrote one already (its news must not be lost).
TPath WatchFolder(const TWatch& watch) {
  return datadir::FolderPath(datadir::Root(), datadir::Folder::Data).Entry("watch").Entry(watch.name);
}

TPath ReportPath(const TWatch& watch, std::string& relative) {
  const std::string day = ShortDate(std::time(nullptr));
  const TPath folder = WatchFolder(watch);
  ForceDirectories(folder);
  for (int n = 1;; ++n) {
    const std::string name = day + (n == 1 ? "" : "-" + std::to_string(n)) + ".html";
    const TPath path = folder.Entry(name);
    if (!FileExists(path)) {
      relative = "data/watch/" + watch.name + "/" + name;
      return path;
    }
  }
}

std::string G(const std::string& utf8) { return Utf8ToGbkWithReferences(utf8); }

std::string Joined(const std::vector<std::string>& list) {
  std::string out;
  for (const std::string& s : list) out += (out.empty() ? "" : "; ") + s;
  return out;
}

// YYYY-MM-DD as the search's facts write dates, YYYYMMDD.
std::string Undashed(const std::string& date) {
  std::string d = NormalDate(date);
  d.erase(std::remove(d.begin(), d.end(), '-'), d.end());
  return d;
}

// A record as the search report's row of it.
TSearchRecord RowOf(const TPatentRecord& r) {
  TSearchRecord row;
  row.number = r.application;
  row.typeName = r.patentType.empty() ? TypeNameOf(r.application) : G(r.patentType);
  row.titleUtf8 = r.title.empty() ? r.titleEn : r.title;
  row.title = G(row.titleUtf8);
  row.classification = G(Joined(r.ipc));
  if (!r.legalStatus.empty()) row.legalStatus = G(r.legalStatus);
  if (!r.applicants.empty()) row.patentee = G(Joined(r.applicants));
  if (!r.abstractText.empty()) row.abstractText = G(r.abstractText);
  TSearchFacts f;
  for (const TPublicationRef& p : r.publications) {
    TPublicationFact fact;
    fact.shown = p.number;
    fact.link = "https://worldwide.espacenet.com/patent/search?q=pn%3D" + p.number;
    fact.date = Undashed(p.date);
    const char kind = p.number.empty() ? 0 : p.number.back();
    fact.grant = std::string_view("BCUYSD").find(kind) != std::string_view::npos;
    f.publications.push_back(fact);
  }
  f.applicationDate = Undashed(r.applicationDate);
  for (const TPriorityClaim& p : r.priorities) f.priorities.push_back({p.number, Undashed(p.date)});
  f.applicants = r.applicants;
  f.applicantsLatin = r.applicantsLatin;
  f.inventors = r.inventors;
  f.ipc = r.ipc;
  f.cpc = r.cpc;
  f.familyId = r.familyId;
  f.citedCount = r.citedCount.value_or(0);
  f.expiryEstimate = r.expiryEstimate;
  if (const TPublicationFact* main = f.Main()) row.publication = main->shown;
  row.facts = std::move(f);
  return row;
}

// What a row's mark says (GBK).
std::string MarkText(const TWatchNews& n) {
  if (n.fresh) return kMarkNew;
  std::string text;
  for (const TWatchChange& c : n.changes) {
    if (!text.empty()) text += "<br>";
    switch (c.what) {
      case TWatchChange::TWhat::Publication: text += kMarkPublication; break;
      case TWatchChange::TWhat::LegalState: text += kMarkLegalState; break;
      case TWatchChange::TWhat::LegalEvent: text += kMarkLegalEvent; break;
    }
    text += G(c.before) + kMarkArrow + G(c.after);
  }
  return text;
}

}  // namespace

int TWatchRunResult::Fresh() const {
  return int(std::count_if(news.begin(), news.end(), [](const TWatchNews& n) { return n.fresh; }));
}

int TWatchRunResult::Changed() const { return int(news.size()) - Fresh(); }

std::vector<std::string> WatchArguments(const TWatch& w) {
  std::vector<std::string> words = w.search;
  if (w.download) words.push_back("--download");
  if (w.download && w.document != "grant") {
    words.push_back("--document");
    words.push_back(w.document);
  }
  if (w.ocr) words.push_back("--ocr");
  if (w.legal) words.push_back("--legal");
  return words;
}

std::string WatchLastRunText(const TWatch& w) {
  if (!w.lastRun) return kNeverRun;
  const TWatchRunSummary& r = *w.lastRun;
  std::string text = kLastRun + r.started + kNewHead + std::to_string(r.fresh) + kChangedHead +
                     std::to_string(r.changed) + kCountTail;
  if (r.ended.empty()) return text + kNotEnded;
  if (r.outcome != "done") text += kEndedEarly + Utf8ToGbk(r.outcome);
  return text;
}

std::string WatchSearchFrom(const TWatch& watch) {
  return watch.searchedThrough.empty() ? "" : AddDays(watch.searchedThrough, -kWatchMarginDays);
}

std::vector<std::string> WatchReportPage(const TWatch& watch, const std::string& expression,
                                         const TWatchSearchCounts& counts, const std::vector<TWatchNews>& news,
                                         const std::string& error) {
  const TPath root = datadir::Root();
  std::vector<std::string> page = OpsReportHead(expression, std::time(nullptr), ProgramDirectory(),
                                                counts.publications, counts.applications, counts.exact, false);
  // The watch's name and what came of the run, above the table.
  page.insert(page.end() - 2, kReportWatchHead + G(watch.name) + kReportCountsHead + std::to_string(news.size()) +
                                  kCountTail + (error.empty() ? "" : kEndedEarly + error) + "</h3>");
  std::vector<TSearchRecord> rows;
  std::vector<TRowMark> marks;
  for (const TWatchNews& item : news) {
    rows.push_back(item.row);
    std::string mark = MarkText(item);
    for (const std::string& pdf : item.record.pdfs)
      mark += std::string("<br>") + kPdfHead + "<a href=\"" +
              datadir::LinkTarget(TPath::FromSystem(root.Bytes() + "/" + pdf)) + "\">" +
              PageTextOf(pdf.substr(pdf.rfind('/') + 1)) + "</a>";
    marks.push_back({item.fresh ? "watchnew" : "watchchanged", mark});
  }
  page.push_back(news.empty() ? std::string("\t<tr class=\"detail\"><td colspan=\"12\">") + kNothingNew + "</td></tr>\r\n"
                              : OpsReportRows(rows, false, marks));
  page.push_back("</table>");
  // Charts where there are records to compare.
  if (news.size() >= 2) {
    std::vector<TPatentRecord> records;
    for (const TWatchNews& item : news) records.push_back(item.record);
    page.push_back(ReportCharts(records, watch.legal));
  }
  for (const std::string& item : SearchReportTail()) page.push_back(item);
  return page;
}

TWatchRunResult RunWatch(const TWatch& asked, const TProgress& progress) {
  TWatchRunResult result;
  result.name = asked.name;
  const TPath root = datadir::Root();
  // Two runs of one watch (the timer's and the window's) take turns, the second reading
  // what the first saw: no news twice.
  ForceDirectories(WatchFolder(asked));
  TFolderLock turn(WatchFolder(asked), [&] { progress(Now() + kWaitOtherRun); });
  TLibrary library(root);
  TWatchStore store(library);
  const std::optional<TWatch> current = store.Find(asked.name);
  if (!current) {
    result.error = kNoSuchWatch + Utf8ToGbk(asked.name);
    return result;
  }
  const TWatch& watch = *current;

  TSearchOptions options;
  std::string bad;
  ReadSearchArguments(watch.search, options, bad);
  TSearchAsk ask = options.ask;
  if (watch.legal) ask.legalStatus = true;
  const std::string from = WatchSearchFrom(watch);
  // The search asks from the later of the watch's own first day and the narrowed one.
  if (!from.empty() && (ask.dateFrom.empty() || NormalDate(Utf8ToGbk(ask.dateFrom)) < from)) ask.dateFrom = from;
  const std::string expression = SearchExpression(TSourceKind::Ops, ask);

  const std::map<std::string, TWatchSeen> known = store.Seen(watch.id);
  TLibraryWriter writer(root, {"watch", "ops", GbkToUtf8(expression), ""});
  store.RunStarted(watch.id, writer.RunId(), from);
  progress(Now() + kRunHead + G(watch.name) + (from.empty() ? "" : kRunFromHead + from));

  // The search, and what is news among its records.
  TSearchOutcome searched = Search(ask, progress);
  result.error = searched.error;
  std::vector<TWatchSeen> seen;  // what the run saw, to commit
  std::set<std::string> met;
  for (const TPatentRecord& r : searched.records) {
    const TWatchSeen now = SeenOf(r);
    met.insert(now.application);
    seen.push_back(now);
    auto k = known.find(now.application);
    if (k == known.end()) {
      result.news.push_back({r, true, {}, {}});
    } else if (std::vector<TWatchChange> changes = ChangesOf(k->second, now, watch.legal); !changes.empty()) {
      result.news.push_back({r, false, changes, {}});
    }
  }

  // Known applications the search did not show: their legal status by a request each.
  std::vector<TPatentRecord> lookedUp;
  if (watch.legal && result.error.empty()) {
    std::vector<const TWatchSeen*> others;
    for (const auto& [app, s] : known)
      if (!met.count(app) && !s.publications.empty()) others.push_back(&s);
    try {
      std::unique_ptr<TLegalSession> legal;
      if (!others.empty()) legal = OpenLegalSession(progress);
      for (size_t i = 0; i < others.size(); ++i) {
        const TWatchSeen& before = *others[i];
        progress(Now() + kLegalHead + std::to_string(i + 1) + "/" + std::to_string(others.size()) + kLegalTail +
                 before.application);
        const TLegalLookup look = legal->Look(before.application, before.publications.back());
        TPatentRecord r = library.Record(before.application).value_or(TPatentRecord{});
        r.application = before.application;
        r.legalStatus = GbkToUtf8(look.status);
        r.legalEvents.clear();
        for (const TLegalEventInfo& e : look.events) r.legalEvents.push_back({e.code, e.date, e.description});
        TWatchSeen now = SeenOf(r);
        now.publications.clear();  // a look-up says nothing of publications
        seen.push_back(now);
        lookedUp.push_back(r);
        if (std::vector<TWatchChange> changes = ChangesOf(before, now, true); !changes.empty())
          result.news.push_back({r, false, changes, {}});
      }
    } catch (const std::exception& e) {
      result.error = e.what();
      progress(Now() + e.what());
    }
  }
  // New applications first, as met.
  std::stable_partition(result.news.begin(), result.news.end(), [](const TWatchNews& n) { return n.fresh; });

  // The new documents.
  TDownloads downloads;
  if (watch.download) {
    const TDocumentChoice choice = ReadDocumentChoice(watch.document).value_or(TDocumentChoice::Grant);
    for (const TWatchNews& n : result.news) {
      const TWatchSeen now = SeenOf(n.record);
      auto k = known.find(now.application);
      std::vector<std::string> fresh =
          NewDocuments(choice, k == known.end() ? std::vector<std::string>{} : k->second.publications, now.publications);
      if (!fresh.empty()) downloads.wanted[now.application] = fresh;
    }
    if (result.error.empty()) {
      Download(watch, downloads, progress);
      if (!downloads.error.empty()) result.error = downloads.error;
    } else {
      for (const auto& [app, pubs] : downloads.wanted) downloads.failed.insert(app);
    }
  }

  // What the run learnt, application by application; news whose documents did not come stays
  // unseen, so that the next run brings it again.
  for (const TWatchSeen& s : seen)
    if (!downloads.failed.count(s.application)) store.See(watch.id, writer.RunId(), s);
  for (TWatchNews& n : result.news) {
    const std::string app = ApplicationDigits(n.record.application);
    for (const TPath& pdf : downloads.pdfs[app]) {
      // Relative to the data root, as the library keeps documents.
      const std::string prefix = root.EndsWithSeparator() ? root.Bytes() : root.Bytes() + "/";
      const std::string rel = pdf.Bytes().rfind(prefix, 0) == 0 ? pdf.Bytes().substr(prefix.size()) : pdf.Bytes();
      if (std::find(n.record.pdfs.begin(), n.record.pdfs.end(), rel) == n.record.pdfs.end()) n.record.pdfs.push_back(rel);
    }
    writer.Met(n.record);
    // The row as the library knows the application now: every run's publications and dates.
    n.row = RowOf(library.Record(app).value_or(n.record));
  }
  for (const TPatentRecord& r : lookedUp) writer.Met(r);

  // The day searched through moves on only when every hit was read.
  std::string through;
  if (result.error.empty() && searched.everyHit) {
    through = watch.searchedThrough;
    for (const TPatentRecord& r : searched.records) through = std::max(through, NewestDay(r));
  }
  std::string relative;
  try {
    const TPath path = ReportPath(watch, relative);
    WriteTextLines(path, WatchReportPage(watch, expression, {searched.count, searched.applications, searched.everyHit},
                                         result.news, result.error));
    result.report = path;
  } catch (const std::exception& e) {
    progress(Now() + e.what());
    relative.clear();
  }
  store.RunEnded(watch.id, writer.RunId(), result.Fresh(), result.Changed(), relative, through);
  writer.Finish({searched.count, downloads.failures, result.error.empty() ? "done" : GbkToUtf8(result.error)});
  return result;
}
