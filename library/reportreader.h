#pragma once
// The program's own search report pages (GBK) read back into records: the head's query and
// time, and each record's row with its abstract and first claim rows, for both sources'
// forms. Columns are found by the title row's names, so a report with more or fewer
// columns reads as well.
#include <string>
#include <vector>

#include "library/record.h"

struct TSearchReport {
  std::string query;   // UTF-8
  std::string when;    // "YYYY-MM-DD HH:MM:SS"; "" when the head has none
  std::string source;  // "ops" when rows link publications to Espacenet, else "site"
  std::vector<TPatentRecord> records;
};

// A page that is no search report gives no records.
TSearchReport ReadSearchReport(const std::string& gbkPage);

// HTML text as plain UTF-8 text: tags dropped (<br> as sep), entities and character
// references decoded, blanks run together.
std::string PlainFromHtml(const std::string& gbkHtml, const std::string& sep = " ");
