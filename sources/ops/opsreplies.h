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

// One exchange-document: a search hit or a retrieved publication.
struct TOpsBiblio {
  std::string familyId;
  TOpsPublication publication;
  std::string publicationDate;  // YYYYMMDD; "" when not given
  TOpsApplication application;  // digits "" when the reply names no CN application
  std::string applicationDate;  // YYYYMMDD; "" when not given
  std::string titleEnglish, titleOriginal;        // lang="en", lang="ol"
  std::string abstractEnglish, abstractOriginal;  // without a leading "[0001]" tag
  std::vector<std::string> applicantsOriginal;    // as filed (Chinese)
  std::vector<std::string> applicantsEpodoc;      // normalised Latin, "[CN]" dropped
  std::vector<std::string> ipcClasses;            // collapsed: "B28B1/29"

  // The Chinese text when there is one, else the English one.
  const std::string& Title() const;
  const std::string& Abstract() const;
  // The original names when given, else the epodoc ones.
  const std::vector<std::string>& Applicants() const;
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
