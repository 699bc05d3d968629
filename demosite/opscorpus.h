#pragma once
// The corpus as the OPS role serves it: the search site's records with what OPS adds,
// derived from each record alone (its number, type, texts and legal status), so the
// records are the same on every start and with any number of extra records; then a few
// records of the OPS role's own (a gearbox maker's filings) that show what the site's
// records cannot: same-day utility model and invention twins, a family across offices,
// news between two dates. Texts UTF-8.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "demosite/corpus.h"

// The last day of the corpus: nothing is published or happens after it.
constexpr int kOpsHorizon = 20250630;

struct OpsPublication {
  std::string number;  // docdb doc-number
  char kind = 'A';     // A, B, C, U, Y, S or D
  int date = 0;        // YYYYMMDD
  int pages = 1;       // pages of its full document
};

struct OpsLegalEvent {
  int date = 0;          // YYYYMMDD, the gazette date
  std::string code;      // blank-padded to four characters, as OPS writes it
  char influence = ' ';  // '+', '-' or ' '
  std::string desc;      // the INPADOC description
};

// An applicant or an inventor.
struct OpsName {
  std::string original;  // Chinese
  std::string latin;     // upper-case Latin (epodoc); empty when the record has none yet
};

// A priority claim, in docdb form: CN 200510012345 A, WO CN2007123456 W.
struct OpsPriority {
  std::string country;
  std::string number;
  char kind = 'A';
  int date = 0;
  // "CN200510012345", "WO2007CN123456".
  std::string Epodoc() const;
};

// A family member at another office: a PCT record's WO publication (listed first in its
// image inquiry), or an EP, US, JP or KR publication of the family.
struct OpsForeign {
  std::string country;      // WO, EP, US, JP, KR
  std::string number;       // docdb doc-number
  std::string kind = "A1";
  int date = 0;
  int pages = 1;
  std::string application;  // docdb doc-number of its application
  char applicationKind = 'A';  // W for a PCT application
  int applicationDate = 0;
  std::vector<OpsLegalEvent> events;
};

// What the query indexes look in: a text in lower case (ASCII letters), and its ASCII
// words, for matching words and phrases; Chinese terms match within the text.
struct OpsIndexText {
  std::string lower;
  std::vector<std::string> words;  // an empty word stands between two names
  void Add(const std::string& utf8);
};

struct OpsRecord {
  std::string application;  // 8 or 12 digits
  char check = '0';
  int type = 1;
  int applicationDate = 0;                   // YYYYMMDD
  std::vector<OpsPublication> publications;  // in date order: A first, then the grant
  std::string titleEn, titleOl;              // empty when the record has none
  std::string abstractEn, abstractOl;        // abstractOl starts with its paragraph tag
  std::vector<OpsName> applicants;
  std::vector<OpsName> inventors;
  bool countryMark = false;   // the Latin names end in U+2002 "[CN]"
  bool leadingSpace = false;  // the Chinese names start with a blank
  std::vector<std::string> ipcs;  // "H01M10/0525"; none for designs
  std::vector<std::string> cpcs;  // the inventive ones (the IPCs), then additional ones
  size_t inventiveCpcs = 0;       // how many of cpcs are inventive
  std::vector<OpsPriority> priorities;
  std::vector<OpsPublication> citations;  // CN publications its examiner cited
  bool nplCitation = false;               // and a paper besides them
  bool hasLegal = true;
  std::vector<OpsLegalEvent> events;  // date order; they hang on the first CN member
  bool hasImages = true;
  bool bareLinks = false;  // the inquiry's links lack the "published-data/images/" prefix
  std::vector<OpsForeign> foreign;  // a PCT record's WO member first
  long familyId = 0;                // shared by the records of one family
  long docId = 0;                   // of the application reference
  OpsIndexText titleEnIndex, titleOlIndex, abstractEnIndex, abstractOlIndex, applicantIndex, inventorIndex;
  DemoRecord page;  // what its page images say (the search site's record, or one of its own)

  // The publication a search hit shows and its date is matched on: the latest.
  const OpsPublication& Latest() const { return publications.back(); }
  // A PCT record (types 8, 9): its WO member's document comes first in its image inquiry.
  bool Pct() const { return type == 8 || type == 9; }
};

using OpsDocument = std::pair<const OpsRecord*, const OpsPublication*>;

class OpsCorpus {
 public:
  // The records of `corpus`, then `extra` battery records, then the role's own, as they
  // stand on `today` (YYYYMMDD, at most kOpsHorizon): publications, events and family
  // members of later days are not there yet, nor records with no publication by then.
  // pages > 0: every CN document has that many pages.
  OpsCorpus(const DemoCorpus& corpus, int extra, int pages, int today = kOpsHorizon);

  // Latest publication first (then the higher number): the order of search results.
  const std::vector<OpsRecord>& Records() const { return records_; }
  // Every publication, newest first (then the higher number, a grant before its A).
  const std::vector<OpsDocument>& Publications() const { return publications_; }
  const OpsRecord* FindApplication(const std::string& digits) const;
  // The publications with that number and kind (kind 0: any), with their records.
  std::vector<OpsDocument> FindPublications(const std::string& number, char kind) const;
  // The record that has a foreign member of that country and publication number.
  const OpsRecord* FindForeign(const std::string& country, const std::string& number) const;
  // The records of the family, in the order of Records().
  std::vector<const OpsRecord*> Family(long familyId) const;

 private:
  std::vector<OpsRecord> records_;
  std::vector<OpsDocument> publications_;
  std::map<std::string, size_t> byApplication_;
  std::multimap<std::string, size_t> byPublication_;
  std::map<std::string, size_t> byForeign_;  // "WO2007081234"
  std::multimap<long, size_t> byFamily_;
};

// A date YYYYMMDD as "YYYY-MM-DD".
std::string IsoDate(int date);
