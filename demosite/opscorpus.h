#pragma once
// The corpus as the OPS role serves it: the search site's records with what OPS adds,
// derived from each record alone (its number, type, texts and legal status), so the
// records are the same on every start and with any number of extra records. Texts UTF-8.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "demosite/corpus.h"

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

struct OpsApplicant {
  std::string original;  // Chinese
  std::string latin;     // upper-case Latin (epodoc); empty when the record has none yet
};

// A WO family member of a PCT record: listed first in its image inquiry and legal family.
struct OpsForeign {
  std::string number;       // docdb doc-number of the WO publication
  std::string kind = "A1";
  int date = 0;
  int pages = 1;
  std::string application;  // docdb doc-number of the PCT application (country WO, kind W)
  int applicationDate = 0;
  std::vector<OpsLegalEvent> events;
};

struct OpsRecord {
  std::string application;  // 8 or 12 digits
  char check = '0';
  int type = 1;
  int applicationDate = 0;                   // YYYYMMDD
  std::vector<OpsPublication> publications;  // in date order: A first, then the grant
  std::string titleEn, titleOl;              // empty when the record has none
  std::string abstractEn, abstractOl;        // abstractOl starts with its paragraph tag
  std::vector<OpsApplicant> applicants;
  bool countryMark = false;   // the Latin names end in U+2002 "[CN]"
  bool leadingSpace = false;  // the Chinese names start with a blank
  std::string ipc;            // "H01M10/0525"; empty for designs
  bool hasLegal = true;
  std::vector<OpsLegalEvent> events;  // date order; they hang on the first CN member
  bool hasImages = true;
  bool bareLinks = false;  // the inquiry's links lack the "published-data/images/" prefix
  std::optional<OpsForeign> foreign;
  long familyId = 0;
  long docId = 0;  // of the application reference
  // Lower-case (ASCII) texts the query indexes look in, English and Chinese together.
  std::string findTitle, findAbstract, findNames;
  DemoRecord page;  // what its page images say (the search site's record, or the extra one)

  // The publication a search hit shows and its date is matched on: the latest.
  const OpsPublication& Latest() const { return publications.back(); }
};

class OpsCorpus {
 public:
  // The records of `corpus`, then `extra` battery records; pages > 0: every CN document
  // has that many pages.
  OpsCorpus(const DemoCorpus& corpus, int extra, int pages);

  // Latest publication first (then the higher number): the order of search results.
  const std::vector<OpsRecord>& Records() const { return records_; }
  const OpsRecord* FindApplication(const std::string& digits) const;
  // The publications with that number and kind (kind 0: any), with their records.
  std::vector<std::pair<const OpsRecord*, const OpsPublication*>> FindPublications(const std::string& number,
                                                                                  char kind) const;
  // The record whose WO member has that publication number.
  const OpsRecord* FindForeign(const std::string& number) const;

 private:
  std::vector<OpsRecord> records_;
  std::map<std::string, size_t> byApplication_;
  std::multimap<std::string, size_t> byPublication_;
  std::map<std::string, size_t> byForeign_;
};

// A date YYYYMMDD as "YYYY-MM-DD".
std::string IsoDate(int date);
