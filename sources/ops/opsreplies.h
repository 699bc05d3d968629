#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sources/ops/opsnumbers.h"

// Readers of OPS's XML replies. Elements are matched by namespace URI and local name,
// whatever prefixes a reply uses. A reply over the size bounds (16 MB, a million
// elements, 64 levels), one that is not well-formed XML, one with a document type
// declaration or one that lacks what it must hold or holds impossible values throws
// EOpsReplyError. Texts are UTF-8, cleaned (replytext.h).

// The body of a refusal: <fault xmlns="http://ops.epo.org"> or <error> (no namespace).
struct TOpsFault {
  std::string code;     // "SERVER.EntityNotFound", "CLIENT.CQL", "403", "400", ...
  std::string message;  // "No results found", "invalid_access_token", ...
  std::string description;
};

// The fault in body; all fields empty when body holds none (an HTML page of a proxy, say).
// Never throws.
TOpsFault ReadFault(const std::string& body);

// A 404 that says the query has no hits (or the number no record): no failure.
bool IsNotFound(int status, const TOpsFault& fault);

// A priority claim: its number in epodoc form ("CN201710601862", "WO2017CN091234"; the
// country and docdb number, or the original number, where the reply gives no epodoc
// form) and its date.
struct TOpsPriority {
  std::string number;
  std::string date;  // YYYYMMDD; "" when not given

  friend bool operator==(const TOpsPriority&, const TOpsPriority&) = default;
};

// One exchange-document: a search hit or a retrieved publication.
struct TOpsBiblio {
  std::string familyId;
  TOpsPublication publication;
  std::string publicationDate;  // YYYYMMDD; "" when not given
  TOpsApplication application;  // digits "" when the reply names no CN application
  std::string applicationDate;  // YYYYMMDD; "" when not given
  std::vector<TOpsPriority> priorities;           // in the reply's order, each number once
  std::string titleEnglish, titleOriginal;        // lang="en", lang="ol"
  std::string abstractEnglish, abstractOriginal;  // without a leading "[0001]" tag
  std::vector<std::string> applicantsOriginal;    // as filed (Chinese)
  std::vector<std::string> applicantsEpodoc;      // normalised Latin, "[CN]" dropped
  std::vector<std::string> inventorsOriginal;     // likewise
  std::vector<std::string> inventorsEpodoc;
  std::vector<std::string> ipcClasses;            // collapsed: "B28B1/29"
  std::vector<std::string> cpcClasses;            // "H01M10/0525", inventive and additional
  int citedCount = 0;  // the patent documents its references cite, each once; papers not

  // The Chinese text when there is one, else the English one.
  const std::string& Title() const;
  const std::string& Abstract() const;
  // The original names when given, else the epodoc ones.
  const std::vector<std::string>& Applicants() const;
  const std::vector<std::string>& Inventors() const;
};

// A page of search hits.
struct TOpsSearchPage {
  int64_t total = 0;  // total-result-count (OPS stops counting at 10000)
  int64_t first = 0, last = 0;  // the range served; 0 when not given
  std::vector<TOpsBiblio> records;  // in the reply's order
};
TOpsSearchPage ReadSearchReply(const std::string& body);

// A biblio retrieval (of an application's publications, or of one publication): every
// CN exchange-document with a number and a known kind, in the reply's order.
std::vector<TOpsBiblio> ReadBiblioReply(const std::string& body);

// The full document of one publication in an image inquiry.
struct TOpsImageDocument {
  int pages = 0;                     // number-of-pages, 1 to 5000
  std::vector<std::string> formats;  // "application/pdf", "application/tiff", ...
  std::vector<std::pair<std::string, int>> sections;  // name, start page (within pages)

  // The first page of a section ("CLAIMS"); 0 when not listed.
  int SectionStart(const std::string& name) const;
};

// The FullDocument instance whose link names pub (with or without the leading
// "published-data/images/"); instances of other family members and amendment-only ones
// are passed over. Throws EOpsReplyError when no instance matches.
TOpsImageDocument ReadImageInquiry(const std::string& body, const TOpsPublication& pub);

// A publication in an INPADOC family, at any office.
struct TOpsFamilyMember {
  std::string country;  // "CN", "EP", "WO", ...
  std::string number;   // docdb doc-number (letters and digits)
  std::string kind;     // "A1", "B"; "" when not given
  std::string date;     // publication date YYYYMMDD; "" when not given
  // Its application, as given; all "" when the member names none.
  std::string applicationCountry, applicationNumber, applicationKind, applicationDate;
  std::vector<TOpsPriority> priorities;

  // "EP4312345A1": country, number, kind.
  std::string Shown() const;
};

// A family reply (family/...; a legal reply has the same shape).
struct TOpsFamily {
  std::string familyId;   // of the first member that gives one; "" when none does
  int64_t total = 0;      // total-result-count; the number of members when not given
  bool truncated = false; // truncatedFamily="true": OPS left members out
  std::vector<TOpsFamilyMember> members;  // in the reply's order, each publication once

  // The members' countries, each once, in order of first appearance.
  std::vector<std::string> Countries() const;
};
TOpsFamily ReadFamilyReply(const std::string& body);

// One INPADOC legal event.
struct TOpsLegalEvent {
  std::string code;         // trimmed: "PB01", "C06"
  char influence = ' ';     // '+', '-' or ' '
  std::string date;         // gazette date YYYY-MM-DD; "" when not given
  std::string description;  // the English description OPS gives
};

// The events of the family members whose application is app (the CN application), in
// the reply's order; members of other applications (a WO or US member) are left out.
std::vector<TOpsLegalEvent> ReadLegalReply(const std::string& body, const TOpsApplication& app);
