#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "base/path.h"
#include "sources/source.h"

// The search report page: a list of items (GBK), each written followed by CR LF.
// Texts from the site go in as they are read, without escaping.

// Items 1 to 7: the head with the expression, the date, the stylesheet link to main.css
// in programDir, and the title row of the table.
std::vector<std::string> SearchReportHead(const std::string& query, std::time_t when,
                                          const TPath& programDir);

// One record of a search as its report shows it (GBK); what was not fetched is empty.
struct TSearchRecord : TSearchHit {
  // With the rows collapsed by family: the family's other records, in the order read.
  std::vector<TSearchRecord> twins;
};

// The cells of one record as the worker computed them.
struct SearchRecordCells {
  int n = 0;
  std::string typeName;
  std::string number;
  std::string title;
  std::string classification;
  std::string legalStatus;
  std::string patentee;
  // A record of OPS: the publication beside the number, linked to the record's page.
  std::string publication;
  std::string recordLink;
};

std::string SearchRowOpening();
// The seven cells and the row end.
std::string SearchRowCells(const SearchRecordCells& cells);
std::string SearchAbstractRow(const std::string& abstractText);
std::string SearchFirstClaimRow(const std::string& firstClaim);
std::string SearchDividerRow();

// An OPS search's report: the head with the query sent, the publications OPS matched and
// the applications they are ("at least" unless exact), and a title row with the columns
// of OPS's fields (dates, inventors, the estimated expiry, the family when asked).
std::vector<std::string> OpsReportHead(const std::string& query, std::time_t when, const TPath& programDir,
                                       long publications, long applications, bool exact, bool family);
// The rows of OPS records (the worker's, one per application or per family), each with
// every publication among the hits linked, then its abstract and first claim rows. marks,
// when given, one per record: a row above it of that class and text (GBK page text), as a
// watch's report says what is new.
struct TRowMark {
  std::string kind;
  std::string text;
};
std::string OpsReportRows(const std::vector<TSearchRecord>& records, bool family,
                          const std::vector<TRowMark>& marks = {});

// Items 9 and 10, closing the page after the rows.
std::vector<std::string> SearchReportTail();

// The fixed date and time formats of the report and the progress lines.
std::string ShortDate(std::time_t when);  // 2008-01-06
std::string LongTime(std::time_t when);   // 09:05:03
