#pragma once
// The patent library: data/library.db below the data root, a SQLite file that every search,
// download and import run writes what it met into, and that find, exports and the user's
// own tools read (the view `patents`). This folder holds every line of SQL; the workers
// only say what a run met, through TLibraryWriter or, never failing a run, TLibrarySink.
// Texts are UTF-8 unless said otherwise; failures throw ELibraryError (GBK message).
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/path.h"
#include "library/liberrors.h"
#include "library/record.h"

class TSqlite;

// A run as the library keeps it.
struct TRunInfo {
  std::string kind;     // "search", "download", "import", "watch"
  std::string source;   // "site", "ops"; "" when the run has none (an import)
  std::string query;    // the expression, the numbers asked, ...
  std::string started;  // "YYYY-MM-DD HH:MM:SS" local time; the moment the writer opens when ""
};

// How a run ended.
struct TRunEnd {
  std::optional<long> found;  // the count the source reported
  int failures = 0;           // records or documents that failed
  std::string outcome;        // "done", or why it ended early
};

// Where a section of a document starts.
struct TLibrarySection {
  std::string kind;  // "abstract", "description", "claims", "drawings"
  int page = 0;      // from 1
};

// A PDF a run wrote or found.
struct TDocumentRecord {
  std::string application;  // the record it belongs to (any form ApplicationDigits reads)
  std::string publication;  // "CN101591226B"; "" when unknown (the site's)
  std::string path;         // relative to the data root, "data/pdf/<name>.pdf" (system bytes)
  int pages = 0;
  std::vector<TLibrarySection> sections;
  bool hasTextLayer = false;
  // The text of page i + 1 where a text layer was recognised; "" for a page without text.
  std::vector<std::string> pageTexts;
};

// Where find met the words in a record.
struct TFindPlace {
  std::string field;     // "title", "title_en", "abstract", "abstract_en", "applicants", "inventors",
                         // "first_claim", or "page"
  std::string document;  // for a page: the PDF, relative to the data root
  int page = 0;          // for a page: from 1
  std::string snippet;   // the text around the words, the words between the marks
};

// Where a place is, as people read it (UTF-8): the field (名称, 摘要, …) or 第N页 and the
// PDF's file name.
std::string FindPlaceName(const TFindPlace& place);

struct TFindHit {
  int64_t recordId = 0;
  std::string application;
  std::string title;  // the Chinese title, else the English one
  double score = 0;   // lower is better (bm25 as SQLite gives it)
  std::vector<TFindPlace> places;
};

struct TFindOptions {
  size_t limit = 50;  // 0: every hit
  std::string markOpen = "\xe3\x80\x90";   // 【
  std::string markClose = "\xe3\x80\x91";  // 】
};

// The library of one data root, opened for reading and writing.
class TLibrary {
 public:
  // data/library.db below the root.
  static TPath FilePath(const TPath& root);

  // Opens the library, creating it (and data/) when missing and bringing its schema up to
  // date. Throws ELibraryError when it cannot be opened, SQLite lacks FTS5's trigram
  // tokenizer, or the file is of a newer program.
  explicit TLibrary(const TPath& root);
  ~TLibrary();
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;

  const TPath& Root() const { return root_; }
  int SchemaVersion();

  // The records that hold every word (in any field or any page text, ASCII letters without
  // regard to case), best first. Words of one or two characters are looked for in the
  // texts of the records the longer words found, or in every record when all are short.
  std::vector<TFindHit> Find(const std::vector<std::string>& words, const TFindOptions& options = {});

  // Every record, by application number; or the records of the ids, in the ids' order.
  std::vector<TPatentRecord> Records();
  std::vector<TPatentRecord> Records(const std::vector<int64_t>& ids);
  std::optional<TPatentRecord> Record(const std::string& application);

  // The page texts of a document (path relative to the root), page i + 1 at i.
  std::vector<std::string> PageTexts(const std::string& documentPath);

  // Merges the full-text indexes' segments, a small step per transaction so that other
  // writers get their turn, until they are merged or `seconds` have passed (< 0: no limit).
  // Runs that commit record by record leave many small segments, which slow every find.
  void Tidy(double seconds);

  TSqlite& Db() { return *db_; }

 private:
  friend class TLibraryWriter;
  // The connection set up and the schema brought to the latest version.
  void Open(const TPath& file);
  void Migrate();
  // The records a WHERE clause of `records` selects, its ?1 the ids (as JSON) or the
  // application; their ids in readIds when given.
  std::vector<TPatentRecord> ReadRecords(const std::string& where, const std::vector<int64_t>& ids,
                                         std::vector<int64_t>* readIds = nullptr, const std::string& application = "");

  TPath root_;
  std::unique_ptr<TSqlite> db_;
};

// One run's writes. Every call is one transaction, so a killed run loses at most the
// record in hand. Safe to call from several threads of a run.
class TLibraryWriter {
 public:
  // Opens the root's library and records the run's start. Throws ELibraryError.
  TLibraryWriter(const TPath& root, TRunInfo run);
  ~TLibraryWriter();
  TLibraryWriter(const TLibraryWriter&) = delete;
  TLibraryWriter& operator=(const TLibraryWriter&) = delete;

  int64_t RunId() const { return runId_; }

  // The run met the record: it is added, or merged into the one of its application, and
  // linked to the run. Merge rule: a field the record gives (not empty) replaces the
  // stored one unless the stored one came from a later moment (asOf, default the run's
  // start, against the time of the newest facts stored), in which case it only fills a
  // field still empty; a field the record leaves empty never clears one. Lists count as
  // one field each. Publications and legal events are added to those known (a publication
  // known already takes a date it lacked). Throws ELibraryError.
  void Met(const TPatentRecord& record, const std::string& asOf = "");

  // The run wrote or found the document: it is added or replaced (by path), with its page
  // texts, and its record linked to the run (a record not yet known is added with its
  // application number alone). Unchanged page texts are not written again. Throws.
  void Document(const TDocumentRecord& document, const std::string& asOf = "");

  // Sets the record's first claim when it has none (a first claim recognised on a page
  // counts for less than one a source gave). Throws.
  void FillFirstClaim(const std::string& application, const std::string& firstClaim);

  // Records the run's end, then tidies the indexes for a moment. Without it the run stays
  // without an end (a killed run).
  void Finish(const TRunEnd& end);
  void Tidy(double seconds);

  // Records and documents this writer added (not merely met again).
  int AddedRecords() const { return addedRecords_; }
  int AddedDocuments() const { return addedDocuments_; }

 private:
  int64_t RecordIdFor(const std::string& application, const std::string& asOf, bool& added);
  void LinkRun(int64_t recordId);

  std::mutex mutex_;
  TLibrary library_;
  TRunInfo run_;
  int64_t runId_ = 0;
  int addedRecords_ = 0, addedDocuments_ = 0;
};

// A run's writer that never fails the run: a library that cannot be opened or written
// gives one warning line (GBK) and the run goes on. After a failed write the next ones are
// still tried (a moment of contention loses one record, not the rest), but warned of no more.
class TLibrarySink {
 public:
  using TWarn = std::function<void(const std::string& gbkLine)>;
  TLibrarySink(const TPath& root, const TRunInfo& run, TWarn warn);
  ~TLibrarySink();
  void Met(const TPatentRecord& record) noexcept;
  void Document(const TDocumentRecord& document) noexcept;
  void FillFirstClaim(const std::string& application, const std::string& firstClaim) noexcept;
  void Finish(const TRunEnd& end) noexcept;
  // Whether any write failed (or the library never opened).
  bool Failed() const;

 private:
  void Failure(const std::exception& e) noexcept;
  // Runs a write, a failure reported once.
  void Guarded(const std::function<void(TLibraryWriter&)>& write) noexcept;

  std::unique_ptr<TLibraryWriter> writer_;
  TWarn warn_;
  mutable std::mutex mutex_;
  bool failed_ = false;
  bool warned_ = false;
};

// The records with the PDFs the root's library knows of each; as they are where it knows
// none or cannot be opened (an export of a run's records never fails for the library).
std::vector<TPatentRecord> WithKnownDocuments(const TPath& root, std::vector<TPatentRecord> records);

// The local time as "YYYY-MM-DD HH:MM:SS".
std::string LibraryTimeNow();
