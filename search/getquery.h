#pragma once
#include <string>
#include <vector>

#include "base/handover.h"
#include "base/path.h"

// Builds the search expression from the dialog's three edits: each trimmed, a-z in the
// classification upper-cased byte by byte, then joined by the expression table.
// Empty when all three are empty after trimming. GBK in, GBK out.
std::string BuildSearchExpression(const std::string& title, const std::string& abstractWords,
                                  const std::string& classification);

// The report file of an expression below a data root: in the query folder, the name
// FileNameFromText makes of the expression and ".html" (a long one shortened with a
// hash of the whole expression). The worker writes it; the dialog and varnolt-cli name it.
TPath SearchReportPath(const TPath& root, const std::string& expression);

// One search run. Create it with new: the constructor stores its arguments and starts
// the thread at once; the object deletes itself when its run ends. The hand-over must
// outlive the run (the dialog owns it).
class getquery {
 public:
  getquery(RunHandOver* handOver, std::string query, bool withLegalStatus, bool withAbstract,
           bool withFirstClaim, bool withPatentee);
  getquery(const getquery&) = delete;
  getquery& operator=(const getquery&) = delete;

  // Blocks until every search run of the process has ended and its object is gone
  // (a program must not leave while a worker still runs).
  static void WaitAllDone();

 private:
  ~getquery();
  void Show(const std::string& text);  // a progress line with the time of day
  void Run();

  RunHandOver* handOver_;
  std::string query_;
  bool withLegalStatus_, withAbstract_, withFirstClaim_, withPatentee_;
  std::vector<std::string> report_;
  std::string detailPage_;
  int typeCode_ = 0;
};
