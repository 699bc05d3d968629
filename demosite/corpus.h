#pragma once
#include <string>
#include <vector>

// The demo site's synthetic patent records. Every text is GBK; the corpus is the same
// on every start (a fixed seed), so tests and the README can name records.
struct DemoRecord {
  std::string number;    // 8 or 12 digits, no country prefix or check digit
  char check = '0';      // check digit ('0'..'9' or 'X')
  int type = 1;          // the type digit: 1, 2, 3, 8 or 9
  std::string title;
  std::string abstract;
  std::string claim;     // first claim
  std::string patentee;
  std::string ipc;       // IPC class (Locarno class for designs)
  std::string status;    // latest legal status, may hold HTML markup
  std::string statusDate;
  int pages = 1;         // pages of the document the download reads
  int firstPages = 0;    // > 0: an earlier publication listed before it (two viewer calls)
  std::string core;                // what the patent is about, as its claims name it
  std::vector<std::string> parts;  // four parts of it, for the texts on the page images
};

class DemoCorpus {
 public:
  // pages > 0: every document has that many pages instead of its own count.
  explicit DemoCorpus(int pages = 0);
  const std::vector<DemoRecord>& Records() const { return records_; }
  // The record of an application number (digits only); nullptr when unknown.
  const DemoRecord* Find(const std::string& number) const;
  // Further records on battery topics (inventions and utility models) for result sets
  // past 2000 hits; their number, check digit, dates and page counts are the caller's.
  static std::vector<DemoRecord> BatteryRecords(int count);

 private:
  std::vector<DemoRecord> records_;
};

// Check digit of a Chinese application number (weights 2..9 repeating, modulo 11).
char CheckDigitOf(const std::string& number);

// UTF-8 to GBK and back with iconv; the demo site keeps its own so it shares no code with
// the program.
std::string ToGbk(const std::string& utf8);
std::string FromGbk(const std::string& gbk);
