// The fault reader and the readers of exchange documents: search hits and biblio retrievals.
#include <algorithm>

#include "sources/ops/opserrors.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opsxml.h"

using namespace opsxml;

namespace {

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (!item.empty() && std::find(list.begin(), list.end(), item) == list.end()) list.push_back(item);
}

// The kind letter of a docdb kind ("B", also "B1" or "A8"), 0 when it is none of CN's.
char KindLetter(const std::string& kind) {
  if (kind.empty() || GrantRank(kind[0]) < 0 || (kind.size() > 1 && !AllDigits(kind.substr(1)))) return 0;
  return kind[0];
}

// "B28B1/29": a section letter, two digits, a letter, then digits, "/" and digits. The
// CPC has a section Y of its own (tagging).
bool ClassShaped(const std::string& s, bool cpc) {
  const size_t slash = s.find('/');
  auto digits = [](const std::string& d) { return AllDigits(d) && d.size() <= 6; };
  const bool section = !s.empty() && ((s[0] >= 'A' && s[0] <= 'H') || (cpc && s[0] == 'Y'));
  return s.size() > 5 && slash != std::string::npos && slash > 4 && section && AllDigits(s.substr(1, 2)) &&
         s[3] >= 'A' && s[3] <= 'Z' && digits(s.substr(4, slash - 4)) && digits(s.substr(slash + 1));
}

// "B28B   1/    29            A I" as "B28B1/29": the subclass, main group and subgroup
// run together, the flags after them dropped. Text of another shape stays, blanks collapsed.
std::string CollapsedIpc(const std::string& text) {
  std::string joined, rest = text;
  size_t at = 0;
  while (at < rest.size()) {
    size_t end = rest.find(' ', at);
    if (end == std::string::npos) end = rest.size();
    joined += rest.substr(at, end - at);
    at = end + 1;
    const size_t slash = joined.find('/');
    if (slash != std::string::npos && slash + 1 < joined.size()) break;
  }
  return ClassShaped(joined, false) ? joined : text;
}

// A CPC symbol from its parts (section, class, subclass, main group, subgroup) or from a
// classification-symbol; "" when it has not the shape of one.
std::string CpcSymbol(pugi::xml_node c) {
  std::string symbol = Text(Child(c, kExchangeNs, "classification-symbol"));
  if (symbol.empty()) {
    for (const char* part : {"section", "class", "subclass", "main-group"}) symbol += Text(Child(c, kExchangeNs, part));
    symbol += "/" + Text(Child(c, kExchangeNs, "subgroup"));
  }
  symbol.erase(std::remove(symbol.begin(), symbol.end(), ' '), symbol.end());
  return ClassShaped(symbol, true) ? symbol : "";
}

// An abstract paragraph without its leading "[0001]"-style tag.
std::string WithoutParagraphTag(const std::string& p) {
  if (p.size() < 3 || p[0] != '[') return p;
  const size_t close = p.find(']');
  if (close == std::string::npos || close < 2 || close > 7 || !AllDigits(p.substr(1, close - 1))) return p;
  size_t from = close + 1;
  while (from < p.size() && p[from] == ' ') ++from;
  return p.substr(from);
}

// An epodoc name without the country that EPO adds after it ("GOOGLE LLC [US]").
std::string WithoutCountryTag(const std::string& name) {
  const size_t n = name.size();
  if (n > 5 && name[n - 5] == ' ' && name[n - 4] == '[' && name[n - 1] == ']' && name[n - 3] >= 'A' &&
      name[n - 3] <= 'Z' && name[n - 2] >= 'A' && name[n - 2] <= 'Z')
    return name.substr(0, n - 5);
  return name;
}

bool ReadPublicationOf(pugi::xml_node document, pugi::xml_node bib, TOpsBiblio& b) {
  const pugi::xml_node reference = Child(bib, kExchangeNs, "publication-reference");
  TDocumentId docdb = DocumentId(reference, "docdb");
  if (docdb.number.empty())
    docdb = {Attr(document, "country"), Attr(document, "doc-number"), Attr(document, "kind"), ""};
  const char kind = KindLetter(docdb.kind);
  // The number goes into request paths: digits only.
  if (docdb.country != "CN" || !AllDigits(docdb.number) || docdb.number.size() > 12 || kind == 0) return false;
  b.publication = {docdb.number, kind};
  b.publicationDate = DateOrEmpty(docdb.date);
  if (b.publicationDate.empty()) b.publicationDate = DateOrEmpty(DocumentId(reference, "epodoc").date);
  return true;
}

void ReadApplicationOf(pugi::xml_node bib, TOpsBiblio& b) {
  const pugi::xml_node reference = Child(bib, kExchangeNs, "application-reference");
  const TDocumentId docdb = DocumentId(reference, "docdb");
  b.applicationDate = DateOrEmpty(docdb.date);
  if ((docdb.country.empty() || docdb.country == "CN") && ReadReplyApplication(docdb.number, b.application)) return;
  for (const char* type : {"epodoc", "original"}) {
    const TDocumentId id = DocumentId(reference, type);
    if (ReadReplyApplication(id.number, b.application)) {
      if (b.applicationDate.empty()) b.applicationDate = DateOrEmpty(id.date);
      return;
    }
  }
  b.application.digits.clear();
}

// The applicants or inventors: list "applicants", one "applicant", its name "applicant-name".
void ReadNames(pugi::xml_node bib, const char* list, const char* one, const char* nameOf,
               std::vector<std::string>& original, std::vector<std::string>& epodoc) {
  const pugi::xml_node names = Path(bib, kExchangeNs, {"parties", list});
  for (pugi::xml_node a : Children(names, kExchangeNs, one)) {
    const std::string name = Text(Path(a, kExchangeNs, {nameOf, "name"}));
    const std::string format = Attr(a, "data-format");
    if (format == "original")
      AddOnce(original, name);
    else if (format == "epodoc")
      AddOnce(epodoc, WithoutCountryTag(name));
  }
}

// The patent documents cited, each once whatever phase cited it.
int CitedCount(pugi::xml_node bib) {
  std::vector<std::string> cited;
  int unnamed = 0;
  for (pugi::xml_node c : Children(Child(bib, kExchangeNs, "references-cited"), kExchangeNs, "citation")) {
    const pugi::xml_node patent = Child(c, kExchangeNs, "patcit");
    if (!patent) continue;
    const TDocumentId docdb = DocumentId(patent, "docdb"), epodoc = DocumentId(patent, "epodoc");
    const std::string name = !docdb.number.empty() ? docdb.country + docdb.number + docdb.kind
                             : !epodoc.number.empty() ? epodoc.number
                                                      : Attr(patent, "dnum");
    if (name.empty())
      ++unnamed;
    else
      AddOnce(cited, name);
  }
  return static_cast<int>(cited.size()) + unnamed;
}

bool IsOriginalLanguage(const std::string& lang) { return lang == "ol" || lang == "zh"; }

void ReadTexts(pugi::xml_node document, pugi::xml_node bib, TOpsBiblio& b) {
  for (pugi::xml_node t : Children(bib, kExchangeNs, "invention-title")) {
    const std::string lang = Attr(t, "lang");
    std::string& into = lang == "en" ? b.titleEnglish : b.titleOriginal;
    if (into.empty() && (lang == "en" || IsOriginalLanguage(lang))) into = Text(t);
  }
  std::vector<pugi::xml_node> abstracts = Children(document, kExchangeNs, "abstract");
  for (pugi::xml_node a : Children(bib, kExchangeNs, "abstract")) abstracts.push_back(a);
  for (pugi::xml_node a : abstracts) {
    const std::string lang = Attr(a, "lang");
    std::string& into = lang == "en" ? b.abstractEnglish : b.abstractOriginal;
    if (!into.empty() || (lang != "en" && !IsOriginalLanguage(lang))) continue;
    const std::vector<pugi::xml_node> paragraphs = Children(a, kExchangeNs, "p");
    if (paragraphs.empty()) into = WithoutParagraphTag(Text(a));
    for (pugi::xml_node p : paragraphs) {
      const std::string text = WithoutParagraphTag(Text(p));
      if (!text.empty()) into += (into.empty() ? "" : " ") + text;
    }
  }
}

void ReadClasses(pugi::xml_node bib, TOpsBiblio& b) {
  const pugi::xml_node ipcr = Child(bib, kExchangeNs, "classifications-ipcr");
  for (pugi::xml_node c : Children(ipcr, kExchangeNs, "classification-ipcr"))
    AddOnce(b.ipcClasses, CollapsedIpc(Text(Child(c, kExchangeNs, "text"))));
  for (pugi::xml_node c : Children(Child(bib, kExchangeNs, "patent-classifications"), kExchangeNs,
                                   "patent-classification")) {
    // CPC, whichever of its schemes; the older ECLA and the like are not.
    const std::string scheme = Attr(Child(c, kExchangeNs, "classification-scheme"), "scheme");
    if (scheme.empty() || scheme.rfind("CPC", 0) == 0) AddOnce(b.cpcClasses, CpcSymbol(c));
  }
}

// The record, or false when it names no CN publication of a known kind.
bool ReadExchangeDocument(pugi::xml_node document, TOpsBiblio& b) {
  const pugi::xml_node bib = Child(document, kExchangeNs, "bibliographic-data");
  if (!ReadPublicationOf(document, bib, b)) return false;
  b.familyId = Attr(document, "family-id");
  ReadApplicationOf(bib, b);
  b.priorities = PriorityClaims(Child(bib, kExchangeNs, "priority-claims"));
  ReadNames(bib, "applicants", "applicant", "applicant-name", b.applicantsOriginal, b.applicantsEpodoc);
  ReadNames(bib, "inventors", "inventor", "inventor-name", b.inventorsOriginal, b.inventorsEpodoc);
  ReadTexts(document, bib, b);
  ReadClasses(bib, b);
  b.citedCount = CitedCount(bib);
  return true;
}

// The exchange-document elements below parent, in order: each inside its own
// exchange-documents wrapper (search hits) or all in one (retrievals), or bare.
std::vector<TOpsBiblio> ReadDocumentsBelow(pugi::xml_node parent) {
  std::vector<TOpsBiblio> records;
  auto take = [&](pugi::xml_node document) {
    TOpsBiblio b;
    if (ReadExchangeDocument(document, b)) records.push_back(std::move(b));
  };
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (Is(c, kExchangeNs, "exchange-document")) take(c);
    if (Is(c, kExchangeNs, "exchange-documents"))
      for (pugi::xml_node d : Children(c, kExchangeNs, "exchange-document")) take(d);
  }
  return records;
}

pugi::xml_node WorldPatentData(const TReply& reply) {
  const pugi::xml_node root = reply.Root();
  if (!Is(root, kOpsNs, "world-patent-data")) Missing("ops:world-patent-data");
  return root;
}

}  // namespace

const std::string& TOpsBiblio::Title() const { return titleOriginal.empty() ? titleEnglish : titleOriginal; }

const std::string& TOpsBiblio::Abstract() const {
  return abstractOriginal.empty() ? abstractEnglish : abstractOriginal;
}

const std::vector<std::string>& TOpsBiblio::Applicants() const {
  return applicantsOriginal.empty() ? applicantsEpodoc : applicantsOriginal;
}

const std::vector<std::string>& TOpsBiblio::Inventors() const {
  return inventorsOriginal.empty() ? inventorsEpodoc : inventorsOriginal;
}

TOpsFault ReadFault(const std::string& body) {
  try {
    const TReply reply(body);
    const pugi::xml_node root = reply.Root();
    const std::string ns = NamespaceOf(root);
    if (!Is(root, kOpsNs, "fault") && std::string(LocalName(root)) != "error") return {};
    return {Text(Child(root, ns.c_str(), "code")), Text(Child(root, ns.c_str(), "message")),
            Text(Child(root, ns.c_str(), "description"))};
  } catch (const EOpsReplyError&) {
    return {};
  }
}

bool IsNotFound(int status, const TOpsFault& fault) {
  return status == 404 && (fault.code.empty() || fault.code == "SERVER.EntityNotFound");
}

TOpsSearchPage ReadSearchReply(const std::string& body) {
  const TReply reply(body);
  const pugi::xml_node search = Child(WorldPatentData(reply), kOpsNs, "biblio-search");
  if (!search) Missing("ops:biblio-search");
  TOpsSearchPage page;
  page.total = Count(search, "total-result-count", 0, 1000000000);
  if (const pugi::xml_node range = Child(search, kOpsNs, "range")) {
    page.first = Count(range, "begin", 1, 1000000000);
    page.last = Count(range, "end", page.first - 1, page.first + 9999);
  }
  page.records = ReadDocumentsBelow(Child(search, kOpsNs, "search-result"));
  if (page.first > 0 && static_cast<int64_t>(page.records.size()) > page.last - page.first + 1)
    Impossible("ops:search-result");
  return page;
}

std::vector<TOpsBiblio> ReadBiblioReply(const std::string& body) {
  const TReply reply(body);
  const pugi::xml_node documents = Child(WorldPatentData(reply), kExchangeNs, "exchange-documents");
  if (!documents) Missing("exchange-documents");
  return ReadDocumentsBelow(documents);
}
