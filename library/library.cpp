#include "library/library.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <map>
#include <thread>
#include <nlohmann/json.hpp>

#include "base/bytes.h"
#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "library/jsonlists.h"
#include "library/librarytexts.h"
#include "library/schema.h"
#include "library/sqlite.h"

using namespace librarytext;
using nlohmann::json;

namespace {

// A contended write waits this long for the other process before it fails.
constexpr int kBusyTimeoutMs = 30000;

std::string PrioritiesJson(const std::vector<TPriorityClaim>& priorities) {
  json j = json::array();
  for (const TPriorityClaim& p : priorities) j.push_back({{"number", p.number}, {"date", p.date}});
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::vector<TPriorityClaim> PrioritiesFrom(const std::string& text) {
  std::vector<TPriorityClaim> list;
  const json j = json::parse(text, nullptr, false);
  if (j.is_array())
    for (const json& v : j)
      if (v.is_object()) list.push_back({v.value("number", ""), v.value("date", "")});
  return list;
}

std::string SectionsJson(const std::vector<TLibrarySection>& sections) {
  json j = json::array();
  for (const TLibrarySection& s : sections) j.push_back({{"kind", s.kind}, {"page", s.page}});
  return j.dump();
}

// The record's columns that hold one value each, text or JSON, in one list so that the
// insert, the merge and the read agree.
struct TColumn {
  const char* name;
  std::string TPatentRecord::*text = nullptr;              // a text column
  std::vector<std::string> TPatentRecord::*list = nullptr;  // a JSON list column
  bool date = false;
};

const std::vector<TColumn>& Columns() {
  static const std::vector<TColumn> columns = {
      {"application_original", &TPatentRecord::applicationOriginal},
      {"patent_type", &TPatentRecord::patentType},
      {"title", &TPatentRecord::title},
      {"title_en", &TPatentRecord::titleEn},
      {"abstract", &TPatentRecord::abstractText},
      {"abstract_en", &TPatentRecord::abstractEn},
      {"applicants", nullptr, &TPatentRecord::applicants},
      {"applicants_latin", nullptr, &TPatentRecord::applicantsLatin},
      {"inventors", nullptr, &TPatentRecord::inventors},
      {"application_date", &TPatentRecord::applicationDate, nullptr, true},
      {"publication_date", &TPatentRecord::publicationDate, nullptr, true},
      {"grant_date", &TPatentRecord::grantDate, nullptr, true},
      {"ipc", nullptr, &TPatentRecord::ipc},
      {"cpc", nullptr, &TPatentRecord::cpc},
      {"family_id", &TPatentRecord::familyId},
      {"legal_status", &TPatentRecord::legalStatus},
      {"legal_status_date", &TPatentRecord::legalStatusDate, nullptr, true},
      {"first_claim", &TPatentRecord::firstClaim},
      {"source", &TPatentRecord::source},
      {"expiry_estimate", &TPatentRecord::expiryEstimate, nullptr, true},
  };
  return columns;
}

// The column's value as stored: text as it is, lists as JSON.
std::string Stored(const TColumn& c, const TPatentRecord& r) { return c.text ? r.*c.text : ListJson(r.*c.list); }
bool EmptyIn(const TColumn& c, const TPatentRecord& r) { return c.text ? (r.*c.text).empty() : (r.*c.list).empty(); }

std::string ColumnList() {
  std::string s;
  for (const TColumn& c : Columns()) s += std::string(", ") + c.name;
  return s;
}

// Reads the columns of ColumnList() from column `first` on into the record.
void ReadColumns(const TStatement& q, int first, TPatentRecord& r) {
  int i = first;
  for (const TColumn& c : Columns()) {
    if (c.text)
      r.*c.text = q.Text(i);
    else
      r.*c.list = ListFrom(q.Text(i));
    ++i;
  }
}

// Trims every text and list entry, drops empty entries, writes dates as YYYY-MM-DD. Text
// that is not UTF-8 is made so (U+FFFD): the library and every export are UTF-8.
TPatentRecord Normalised(const TPatentRecord& in) {
  TPatentRecord r = in;
  for (const TColumn& c : Columns()) {
    if (c.text) {
      std::string& v = r.*c.text;
      v = c.date ? NormalDate(v) : ValidUtf8(TrimBytes(v));
    } else {
      std::vector<std::string> kept;
      for (const std::string& v : r.*c.list)
        if (!TrimBytes(v).empty()) kept.push_back(ValidUtf8(TrimBytes(v)));
      r.*c.list = kept;
    }
  }
  for (TPublicationRef& p : r.publications) {
    p.number = UpperAscii(TrimBytes(p.number));
    p.date = NormalDate(p.date);
  }
  for (TPriorityClaim& p : r.priorities) p.date = NormalDate(p.date);
  for (TLegalEvent& e : r.legalEvents) e.date = NormalDate(e.date);
  return r;
}

}  // namespace

std::string LibraryTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

TPath TLibrary::FilePath(const TPath& root) { return datadir::FolderPath(root, datadir::Folder::Data) + "/library.db"; }

TLibrary::TLibrary(const TPath& root) : root_(root) {
  const TPath file = FilePath(root);
  ForceDirectories(datadir::FolderPath(root, datadir::Folder::Data));
  // Two processes opening a new file at once: switching it to WAL, or reading it while the
  // other switches, can be refused as busy without the busy handler being asked. Such a
  // refusal is waited out as a busy lock would be.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
  for (;;) {
    try {
      Open(file);
      return;
    } catch (const ELibraryBusy& e) {
      if (std::chrono::steady_clock::now() >= deadline) throw ELibraryError(kCannotOpen + file.ShownText() + ": " + e.Message());
    }
    db_.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void TLibrary::Open(const TPath& file) {
  try {
    db_ = std::make_unique<TSqlite>(file.Bytes(), true);
    sqlite3_busy_timeout(db_->Handle(), kBusyTimeoutMs);
    db_->Exec("PRAGMA foreign_keys = ON");
    {
      TStatement mode(*db_, "PRAGMA journal_mode = WAL");
      if (!mode.Step() || LowerAscii(mode.Text(0)) != "wal") db_->Fail("journal_mode");
      mode.Reset();
    }
    // Durable across a killed process; a power cut may lose the last records, never the file.
    db_->Exec("PRAGMA synchronous = NORMAL");
  } catch (const ELibraryBusy&) {
    throw;
  } catch (const ELibraryError& e) {
    throw ELibraryError(kCannotOpen + file.ShownText() + ": " + e.Message());
  }
  try {
    db_->Exec("CREATE VIRTUAL TABLE temp.trigram_probe USING fts5(x, tokenize='trigram'); DROP TABLE temp.trigram_probe");
  } catch (const ELibraryError& e) {
    throw ELibraryError(std::string(kNoTrigram) + " (" + e.Message() + ")");
  }
  try {
    Migrate();
  } catch (const ELibraryBusy&) {
    throw;
  } catch (const ELibraryError& e) {
    throw ELibraryError(kCannotOpen + file.ShownText() + ": " + e.Message());
  }
}

TLibrary::~TLibrary() = default;

int TLibrary::SchemaVersion() {
  TStatement q(*db_, "PRAGMA user_version");
  q.Step();
  const int v = int(q.Int(0));
  q.Reset();
  return v;
}

void TLibrary::Migrate() {
  const auto& migrations = LibraryMigrations();
  const int latest = int(migrations.size());
  auto check = [&](int version) {
    if (version > latest) throw ELibraryError(kTooNew + std::to_string(version));
  };
  int version = SchemaVersion();
  check(version);
  if (version == latest) return;
  // Another process may be migrating too: the version is read again under the write lock.
  TTransaction t(*db_);
  version = SchemaVersion();
  check(version);
  for (; version < latest; ++version) db_->Exec(migrations[size_t(version)]);
  db_->Exec("PRAGMA user_version = " + std::to_string(latest));
  t.Commit();
}

void TLibrary::Tidy(double seconds) {
  const auto start = std::chrono::steady_clock::now();
  for (const char* index : {"page_index", "record_index"}) {
    for (;;) {
      if (seconds >= 0 && std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() > seconds)
        return;
      TTransaction t(*db_);
      const int before = sqlite3_total_changes(db_->Handle());
      db_->Exec(std::string("INSERT INTO ") + index + "(" + index + ", rank) VALUES('merge', -500)");
      const int written = sqlite3_total_changes(db_->Handle()) - before;
      t.Commit();
      // SQLite's rule: fewer than two pages written means nothing was left to merge.
      if (written < 2) break;
    }
  }
}

std::vector<TPatentRecord> TLibrary::Records() { return ReadRecords("", {}); }

std::vector<TPatentRecord> TLibrary::Records(const std::vector<int64_t>& ids) {
  std::vector<int64_t> readIds;
  std::vector<TPatentRecord> unordered = ReadRecords("WHERE id IN (SELECT value FROM json_each(?1))", ids, &readIds);
  // Read in application order; the caller's order is the hits'.
  std::map<int64_t, size_t> at;
  for (size_t i = 0; i < readIds.size(); ++i) at[readIds[i]] = i;
  std::vector<TPatentRecord> out;
  for (int64_t id : ids) {
    auto it = at.find(id);
    if (it != at.end()) out.push_back(unordered[it->second]);
  }
  return out;
}

std::optional<TPatentRecord> TLibrary::Record(const std::string& application) {
  std::vector<TPatentRecord> r =
      ReadRecords("WHERE id = (SELECT id FROM records WHERE application = ?1)", {}, nullptr, ApplicationDigits(application));
  if (r.empty()) return std::nullopt;
  return r.front();
}

std::vector<TPatentRecord> TLibrary::ReadRecords(const std::string& where, const std::vector<int64_t>& ids,
                                                 std::vector<int64_t>* readIds, const std::string& application) {
  // The one parameter of every query: the ids as a JSON array, or the application.
  const std::string param = application.empty() ? json(ids).dump() : application;
  std::vector<TPatentRecord> records;
  std::map<int64_t, size_t> at;
  {
    TStatement q(*db_, "SELECT id, application, priorities, cited_count" + ColumnList() + " FROM records " + where +
                           " ORDER BY application");
    if (!where.empty()) q.Bind(1, param);
    while (q.Step()) {
      if (readIds) readIds->push_back(q.Int(0));
      TPatentRecord r;
      r.application = q.Text(1);
      r.priorities = PrioritiesFrom(q.Text(2));
      if (!q.IsNull(3)) r.citedCount = int(q.Int(3));
      ReadColumns(q, 4, r);
      at[q.Int(0)] = records.size();
      records.push_back(std::move(r));
    }
  }
  const std::string whereRecord =
      where.empty() ? std::string()
                    : " WHERE record_id IN (SELECT id FROM records " + where + ")";
  auto each = [&](const std::string& sql, const std::function<void(TPatentRecord&, const TStatement&)>& take) {
    TStatement q(*db_, sql);
    if (!where.empty()) q.Bind(1, param);
    while (q.Step()) {
      auto it = at.find(q.Int(0));
      if (it != at.end()) take(records[it->second], q);
    }
  };
  each("SELECT record_id, number, date FROM publications" + whereRecord + " ORDER BY record_id, date = '', date, number",
       [](TPatentRecord& r, const TStatement& q) { r.publications.push_back({q.Text(1), q.Text(2)}); });
  each("SELECT record_id, code, date, description FROM legal_events" + whereRecord + " ORDER BY record_id, date, code",
       [](TPatentRecord& r, const TStatement& q) { r.legalEvents.push_back({q.Text(1), q.Text(2), q.Text(3)}); });
  each("SELECT record_id, path FROM documents" + whereRecord + " ORDER BY record_id, path",
       [](TPatentRecord& r, const TStatement& q) { r.pdfs.push_back(q.Text(1)); });
  return records;
}

std::vector<std::string> TLibrary::PageTexts(const std::string& documentPath) {
  std::vector<std::string> pages;
  TStatement q(*db_,
               "SELECT p.page, p.text FROM page_texts p JOIN documents d ON d.id = p.document_id "
               "WHERE d.path = ? ORDER BY p.page");
  q.Bind(1, documentPath);
  while (q.Step()) {
    const size_t page = size_t(q.Int(0));
    if (page == 0) continue;
    if (pages.size() < page) pages.resize(page);
    pages[page - 1] = q.Text(1);
  }
  return pages;
}

// ---- Writing ----

TLibraryWriter::TLibraryWriter(const TPath& root, TRunInfo run) : library_(root), run_(std::move(run)) {
  if (run_.started.empty()) run_.started = LibraryTimeNow();
  TSqlite& db = *library_.db_;
  TTransaction t(db);
  TStatement q(db, "INSERT INTO runs(kind, source, query, started) VALUES(?, ?, ?, ?)");
  q.Bind(1, run_.kind).Bind(2, run_.source).Bind(3, run_.query).Bind(4, run_.started).Run();
  runId_ = db.LastInsertId();
  t.Commit();
}

TLibraryWriter::~TLibraryWriter() = default;

int64_t TLibraryWriter::RecordIdFor(const std::string& application, const std::string& asOf, bool& added) {
  TSqlite& db = *library_.db_;
  const std::string digits = ApplicationDigits(application);
  if (digits.empty()) throw ELibraryError(std::string(kNoApplication) + ": " + Utf8ToGbk(application));
  TStatement find(db, "SELECT id FROM records WHERE application = ?");
  find.Bind(1, digits);
  if (find.Step()) {
    added = false;
    const int64_t id = find.Int(0);
    find.Reset();
    return id;
  }
  TStatement insert(db, "INSERT INTO records(application, first_met, updated) VALUES(?, ?, ?)");
  insert.Bind(1, digits).Bind(2, asOf).Bind(3, asOf).Run();
  added = true;
  ++addedRecords_;
  return db.LastInsertId();
}

void TLibraryWriter::LinkRun(int64_t recordId) {
  TSqlite& db = *library_.db_;
  TStatement link(db, "INSERT OR IGNORE INTO run_records(run_id, record_id) VALUES(?, ?)");
  link.Bind(1, runId_).Bind(2, recordId).Run();
  if (db.Changes() > 0) {
    TStatement count(db, "UPDATE runs SET records = records + 1 WHERE id = ?");
    count.Bind(1, runId_).Run();
  }
}

void TLibraryWriter::Met(const TPatentRecord& given, const std::string& asOfGiven) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string asOf = asOfGiven.empty() ? run_.started : asOfGiven;
  TSqlite& db = *library_.db_;
  TPatentRecord in = Normalised(given);
  if (in.application.empty()) in.application = in.applicationOriginal;
  if (in.applicationOriginal.empty() && in.application != ApplicationDigits(in.application))
    in.applicationOriginal = in.application;
  TTransaction t(db);
  bool added = false;
  const int64_t id = RecordIdFor(in.application.empty() ? in.applicationOriginal : in.application, asOf, added);

  TPatentRecord stored;
  std::string storedPriorities, updated;
  std::optional<int> storedCited;
  {
    TStatement q(db, "SELECT updated, priorities, cited_count" + ColumnList() + " FROM records WHERE id = ?");
    q.Bind(1, id);
    q.Step();
    updated = q.Text(0);
    storedPriorities = q.Text(1);
    if (!q.IsNull(2)) storedCited = int(q.Int(2));
    ReadColumns(q, 3, stored);
    q.Reset();
  }
  // Facts of the same moment or later replace; older ones only fill gaps.
  const bool newer = asOf >= updated;

  std::vector<std::pair<std::string, std::string>> sets;  // column, new value
  for (const TColumn& c : Columns()) {
    if (EmptyIn(c, in)) continue;
    if (!EmptyIn(c, stored) && !newer) continue;
    const std::string value = Stored(c, in);
    if (value != Stored(c, stored)) sets.emplace_back(c.name, value);
  }
  if (!in.priorities.empty() && (storedPriorities == "[]" || newer)) {
    const std::string value = PrioritiesJson(in.priorities);
    if (value != storedPriorities) sets.emplace_back("priorities", value);
  }
  bool setCited = in.citedCount && (!storedCited || newer) && in.citedCount != storedCited;
  if (newer && asOf != updated) sets.emplace_back("updated", asOf);
  if (!sets.empty() || setCited) {
    std::string sql = "UPDATE records SET ";
    for (size_t i = 0; i < sets.size(); ++i) sql += (i ? ", " : "") + sets[i].first + " = ?";
    if (setCited) sql += std::string(sets.empty() ? "" : ", ") + "cited_count = ?";
    sql += " WHERE id = ?";
    TStatement u(db, sql);
    int k = 1;
    for (const auto& s : sets) u.Bind(k++, s.second);
    if (setCited) u.Bind(k++, int64_t(*in.citedCount));
    u.Bind(k, id).Run();
  }

  TStatement pub(db,
                 "INSERT INTO publications(record_id, number, date) VALUES(?1, ?2, ?3) "
                 "ON CONFLICT(record_id, number) DO UPDATE SET date = excluded.date "
                 "WHERE excluded.date <> '' AND (publications.date = '' OR ?4)");
  for (const TPublicationRef& p : in.publications)
    if (!p.number.empty()) pub.Bind(1, id).Bind(2, p.number).Bind(3, p.date).Bind(4, int64_t(newer)).Run();
  // The first publication's date, when no source gave it.
  db.Exec("UPDATE records SET publication_date = (SELECT min(date) FROM publications WHERE record_id = " +
          std::to_string(id) + " AND date <> '') WHERE id = " + std::to_string(id) +
          " AND publication_date = '' AND EXISTS (SELECT 1 FROM publications WHERE record_id = " +
          std::to_string(id) + " AND date <> '')");
  TStatement event(db, "INSERT OR IGNORE INTO legal_events(record_id, code, date, description) VALUES(?, ?, ?, ?)");
  for (const TLegalEvent& e : in.legalEvents)
    event.Bind(1, id).Bind(2, TrimBytes(e.code)).Bind(3, e.date).Bind(4, TrimBytes(e.description)).Run();
  LinkRun(id);
  t.Commit();
  (void)added;
}

void TLibraryWriter::Document(const TDocumentRecord& doc, const std::string& asOfGiven) {
  std::lock_guard<std::mutex> lock(mutex_);
  const std::string asOf = asOfGiven.empty() ? run_.started : asOfGiven;
  TSqlite& db = *library_.db_;
  TTransaction t(db);
  bool added = false;
  const int64_t recordId = RecordIdFor(doc.application, asOf, added);
  int64_t docId = 0;
  {
    TStatement find(db, "SELECT id FROM documents WHERE path = ?");
    find.Bind(1, doc.path);
    if (find.Step()) {
      docId = find.Int(0);
      find.Reset();
    }
  }
  const std::string sections = SectionsJson(doc.sections);
  if (docId) {
    TStatement u(db,
                 "UPDATE documents SET record_id = ?, publication = ?, pages = ?, sections = ?, has_text_layer = ?, "
                 "run_id = ?, updated = ? WHERE id = ?");
    u.Bind(1, recordId).Bind(2, UpperAscii(doc.publication)).Bind(3, doc.pages).Bind(4, sections);
    u.Bind(5, int64_t(doc.hasTextLayer)).Bind(6, runId_).Bind(7, asOf).Bind(8, docId).Run();
  } else {
    TStatement i(db,
                 "INSERT INTO documents(record_id, publication, path, pages, sections, has_text_layer, run_id, updated) "
                 "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
    i.Bind(1, recordId).Bind(2, UpperAscii(doc.publication)).Bind(3, doc.path).Bind(4, doc.pages).Bind(5, sections);
    i.Bind(6, int64_t(doc.hasTextLayer)).Bind(7, runId_).Bind(8, asOf).Run();
    docId = db.LastInsertId();
    ++addedDocuments_;
  }
  std::map<int, std::string> stored;
  {
    TStatement q(db, "SELECT page, text FROM page_texts WHERE document_id = ?");
    q.Bind(1, docId);
    while (q.Step()) stored[int(q.Int(0))] = q.Text(1);
  }
  TStatement insert(db, "INSERT INTO page_texts(id, document_id, page, text) VALUES(?, ?, ?, ?)");
  TStatement update(db, "UPDATE page_texts SET text = ? WHERE document_id = ? AND page = ?");
  TStatement remove(db, "DELETE FROM page_texts WHERE document_id = ? AND page = ?");
  for (size_t i = 0; i < doc.pageTexts.size() && int64_t(i) + 1 < kPageSlots; ++i) {
    const int page = int(i + 1);
    const std::string text = ValidUtf8(doc.pageTexts[i]);
    auto it = stored.find(page);
    if (it == stored.end()) {
      if (!text.empty()) insert.Bind(1, docId * kPageSlots + page).Bind(2, docId).Bind(3, page).Bind(4, text).Run();
      continue;
    }
    if (text.empty())
      remove.Bind(1, docId).Bind(2, page).Run();
    else if (text != it->second)
      update.Bind(1, text).Bind(2, docId).Bind(3, page).Run();
    stored.erase(it);
  }
  // Pages the document no longer has.
  for (const auto& [page, text] : stored) remove.Bind(1, docId).Bind(2, page).Run();
  LinkRun(recordId);
  TStatement count(db, "UPDATE runs SET documents = documents + 1 WHERE id = ?");
  count.Bind(1, runId_).Run();
  t.Commit();
}

void TLibraryWriter::FillFirstClaim(const std::string& application, const std::string& firstClaim) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (TrimBytes(firstClaim).empty()) return;
  TSqlite& db = *library_.db_;
  TTransaction t(db);
  TStatement u(db, "UPDATE records SET first_claim = ? WHERE application = ? AND first_claim = ''");
  u.Bind(1, TrimBytes(firstClaim)).Bind(2, ApplicationDigits(application)).Run();
  t.Commit();
}

void TLibraryWriter::Finish(const TRunEnd& end) {
  std::lock_guard<std::mutex> lock(mutex_);
  TSqlite& db = *library_.db_;
  TTransaction t(db);
  TStatement u(db, "UPDATE runs SET ended = ?, found = ?, failures = ?, outcome = ? WHERE id = ?");
  u.Bind(1, LibraryTimeNow());
  if (end.found)
    u.Bind(2, int64_t(*end.found));
  else
    u.BindNull(2);
  u.Bind(3, end.failures).Bind(4, end.outcome).Bind(5, runId_).Run();
  t.Commit();
  library_.Tidy(2.0);
}

void TLibraryWriter::Tidy(double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  library_.Tidy(seconds);
}

// ---- The sink ----

TLibrarySink::TLibrarySink(const TPath& root, const TRunInfo& run, TWarn warn) : warn_(std::move(warn)) {
  try {
    writer_ = std::make_unique<TLibraryWriter>(root, run);
  } catch (const std::exception& e) {
    Failure(e);
  }
}

TLibrarySink::~TLibrarySink() = default;

void TLibrarySink::Failure(const std::exception& e) noexcept {
  bool warn = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    warn = !warned_;
    warned_ = true;
  }
  if (!warn || !warn_) return;
  try {
    warn_(kUnusable + std::string(e.what()));
  } catch (...) {
    // A warning that cannot be shown must not end the run either.
  }
}

void TLibrarySink::Guarded(const std::function<void(TLibraryWriter&)>& write) noexcept {
  if (!writer_) return;
  try {
    write(*writer_);
  } catch (const std::exception& e) {
    Failure(e);
  }
}

void TLibrarySink::Met(const TPatentRecord& record) noexcept {
  Guarded([&](TLibraryWriter& w) { w.Met(record); });
}

void TLibrarySink::Document(const TDocumentRecord& document) noexcept {
  Guarded([&](TLibraryWriter& w) { w.Document(document); });
}

void TLibrarySink::FillFirstClaim(const std::string& application, const std::string& firstClaim) noexcept {
  Guarded([&](TLibraryWriter& w) { w.FillFirstClaim(application, firstClaim); });
}

void TLibrarySink::Finish(const TRunEnd& end) noexcept {
  Guarded([&](TLibraryWriter& w) { w.Finish(end); });
}

bool TLibrarySink::Failed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

std::vector<TPatentRecord> WithKnownDocuments(const TPath& root, std::vector<TPatentRecord> records) {
  if (!FileExists(TLibrary::FilePath(root))) return records;
  try {
    TLibrary library(root);
    for (TPatentRecord& r : records)
      if (r.pdfs.empty() && !r.application.empty())
        if (std::optional<TPatentRecord> known = library.Record(r.application)) r.pdfs = known->pdfs;
  } catch (const std::exception&) {
    // Without the library the records go as the run met them.
  }
  return records;
}
