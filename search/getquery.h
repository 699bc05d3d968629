#pragma once
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/handover.h"
#include "base/path.h"
#include "library/record.h"
#include "search/searchreport.h"
#include "sources/source.h"

// The report file of an expression below a data root: in the query folder, the name
// FileNameFromText makes of the expression and ".html" (a long one shortened with a
// hash of the whole expression). The worker writes it; the dialog and varnolt-cli name it.
TPath SearchReportPath(const TPath& root, const std::string& expression);

class TSearchLibrary;

// What a search run leaves its caller beyond the progress lines; complete when the run
// has handed its end over.
struct TSearchResult {
  int count = 0;                       // the number of records the site gave (OPS: publications)
  long applications = -1;              // OPS: the applications among the hits read; -1 for the site
  bool applicationsExact = false;      // every hit was read: applications is their number
  std::vector<TSearchRecord> records;  // the records read, in page order
  std::string error;                   // the failure that ended or cut the run; empty when none
  std::string ocrUnavailable;          // why first claims were not recognised as asked; "" when they were
  std::vector<TPatentRecord> patents;  // the records read, as the library keeps them (exports, charts)
};

// One search run. Create it with new: the constructor stores its arguments and starts
// the thread at once; the object deletes itself when its run ends. The hand-over must
// outlive the run (the dialog owns it).
class getquery {
 public:
  // A search of the old site with an expression made already.
  getquery(RunHandOver* handOver, std::string query, bool withLegalStatus, bool withAbstract,
           bool withFirstClaim, bool withPatentee, std::shared_ptr<TSearchResult> result = nullptr);
  // A search of the source for the ask; the report is named after SearchExpression.
  getquery(RunHandOver* handOver, TSourceKind source, const TSearchAsk& ask,
           std::shared_ptr<TSearchResult> result = nullptr);
  getquery(const getquery&) = delete;
  getquery& operator=(const getquery&) = delete;

  // Blocks until every search run of the process has ended and its object is gone
  // (a program must not leave while a worker still runs).
  static void WaitAllDone();

 private:
  ~getquery();
  void Show(const std::string& text);  // a progress line with the time of day
  void Run();
  // The first claim of hit from its claims page, recognised in workDir.
  void RecogniseFirstClaim(TSearchSession& session, const TPath& workDir, class TRecognitionEngine& engine,
                           TSearchHit& hit);

  void Start();
  // The site's rows, each written as it is read (byte for byte as they have always been).
  void ReadSiteRecords(TSearchSession& session, const std::optional<TPath>& ocrDir, std::string& rows,
                       TSearchLibrary& library);
  // OPS's records, one per application (late publications joined to theirs), then the rows.
  void ReadOpsRecords(TSearchSession& session, const std::optional<TPath>& ocrDir, long count,
                      TSearchLibrary& library);
  // The record of a hit as read.
  TSearchRecord RecordOf(TSearchSession& session, const std::optional<TPath>& ocrDir);

  RunHandOver* handOver_;
  TSourceKind source_ = TSourceKind::Site;
  TSearchAsk ask_;
  std::string query_;
  std::vector<std::string> report_;
  std::shared_ptr<TSearchResult> result_;
  std::time_t started_ = 0;
  std::unique_ptr<class TRecognitionEngine> engine_;  // first claims by recognition, one for the run
};
