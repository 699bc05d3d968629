#pragma once
#include <memory>
#include <string>

#include "sources/source.h"

class TPatternMatcher;

// Every request to the patent office's search site and every rule for reading its
// pages. All texts are GBK byte strings; positions are byte counts from 1.
// Each request uses a THttpClient of its own, released also on failure; failures of
// the client (ENetException and descendants) reach the caller.

// POSTs the result-list form ("recshu", "searchword", ...) and gives back the page.
std::string PostResultList(const std::string& recshu, const std::string& searchword);

// Total number of matching records on a result page; 0 when it does not read.
int ReadRecordCount(const std::string& page);

// Where the record rows of a result page stand, as 1-based byte positions: from the first
// row marker (the page's start without one) up to and including the first byte of the
// table marker after it; {0, 0} without a table marker.
struct TRecordRows {
  long first = 0;
  long last = 0;
};
TRecordRows RecordRowsOf(const std::string& page);

// The record links of a result page, one at a time, in page order (every second link
// match). A failure of the pattern matcher (EPatternMatcher) reaches the caller.
class RecordLinks {
 public:
  explicit RecordLinks(const std::string& page);
  // The same, taking the page over: it is not copied.
  explicit RecordLinks(std::string&& page);
  ~RecordLinks();
  RecordLinks(const RecordLinks&) = delete;
  RecordLinks& operator=(const RecordLinks&) = delete;
  // Sets link to the next record link and returns true; false when there are no more.
  bool Next(std::string& link);

 private:
  std::string text_;  // the page up to the rows' end, until the matcher takes it over
  long first_ = 1;    // where the rows begin in it
  std::unique_ptr<TPatternMatcher> matcher_;
  bool started_ = false;
  bool done_ = false;
};

// The first record link of a result page; the cut fragment when it holds no link; the
// empty text when the pattern matcher fails.
std::string FirstRecordLink(const std::string& page);

std::string ApplicationNumberFromLink(const std::string& link);
std::string TitleFromLink(const std::string& link);
std::string ClassFromLink(const std::string& link);

// GETs "http://" + SearchHost + "/sipo/zljs/" + link.
std::string FetchDetailPage(const std::string& link);

std::string AbstractFrom(const std::string& page, int typeCode);
std::string FirstClaimFrom(const std::string& page, int typeCode);
std::string PatenteeFrom(const std::string& page, int typeCode);

// A cell of the site's page as plain text: tags dropped as blanks, the few entities the
// site writes decoded, blanks run together and trimmed.
std::string PlainCellText(const std::string& html);

// POSTs the legal-status form and reads the first status cell.
std::string FetchLegalStatus(const std::string& number);

// Where the scanned pages of one record lie, read from its detail page.
struct TPageList {
  int pageCount = 0;
  std::string imageBase;  // the first page's address without its 10-byte file name
};

// Reads the page-viewer call of a detail page (the second call when there are two).
// Throws EPageListError when the marker is missing, the call has fewer than three
// fields, or its page count is not a decimal integer.
TPageList ReadPageList(const std::string& detailPage);

// Builds the search expression from the dialog's three edits: each trimmed, a-z in the
// classification upper-cased byte by byte, then joined by the expression table.
// Empty when all three are empty after trimming. GBK in, GBK out.
std::string BuildSearchExpression(const std::string& title, const std::string& abstractWords,
                                  const std::string& classification);
