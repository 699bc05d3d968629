// The reader of INPADOC family replies (the family service's, and the legal service's,
// which has the same shape).
#include <algorithm>

#include "sources/ops/opserrors.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opsxml.h"

using namespace opsxml;

namespace {

bool Upper(char c) { return c >= 'A' && c <= 'Z'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

bool LettersAndDigits(const std::string& s, size_t most) {
  return !s.empty() && s.size() <= most && std::all_of(s.begin(), s.end(), [](char c) {
    return Upper(c) || Digit(c) || (c >= 'a' && c <= 'z');
  });
}

// "EP4312345", "CN101911042B", "AT232441T": the country, the digits, a kind after them.
TDocumentId FromEpodoc(const std::string& text) {
  if (text.size() < 3 || !Upper(text[0]) || !Upper(text[1])) return {};
  const size_t end = text.find_first_not_of("0123456789", 2);
  if (end == 2) return {};
  const std::string kind = end == std::string::npos ? "" : text.substr(end);
  return {text.substr(0, 2), text.substr(2, end - 2), kind, ""};
}

// A document from a reference element: docdb, else epodoc. Everything "" when neither
// gives a number of letters and digits, or a country of two capitals where one is given.
TDocumentId Reference(pugi::xml_node reference) {
  const TDocumentId epodoc = DocumentId(reference, "epodoc");
  TDocumentId id = DocumentId(reference, "docdb");
  if (id.number.empty()) id = FromEpodoc(epodoc.number);
  id.date = DateOrEmpty(id.date.empty() ? epodoc.date : id.date);
  const bool country = id.country.empty() || (id.country.size() == 2 && Upper(id.country[0]) && Upper(id.country[1]));
  const bool kind = id.kind.empty() || LettersAndDigits(id.kind, 3);
  if (!country || !kind || !LettersAndDigits(id.number, 20)) return {};
  return id;
}

}  // namespace

std::string TOpsFamilyMember::Shown() const { return country + number + kind; }

std::vector<std::string> TOpsFamily::Countries() const {
  std::vector<std::string> countries;
  for (const TOpsFamilyMember& m : members)
    if (std::find(countries.begin(), countries.end(), m.country) == countries.end()) countries.push_back(m.country);
  return countries;
}

TOpsFamily ReadFamilyReply(const std::string& body) {
  const TReply reply(body);
  const pugi::xml_node family = Child(reply.Root(), kOpsNs, "patent-family");
  if (!Is(reply.Root(), kOpsNs, "world-patent-data") || !family) Missing("ops:patent-family");
  TOpsFamily f;
  f.truncated = Attr(family, "truncatedFamily") == "true";
  for (pugi::xml_node member : Children(family, kOpsNs, "family-member")) {
    const TDocumentId pub = Reference(Child(member, kExchangeNs, "publication-reference"));
    // A member must say which office's document it is.
    if (pub.number.empty() || pub.country.empty()) continue;
    TOpsFamilyMember m;
    m.country = pub.country;
    m.number = pub.number;
    m.kind = pub.kind;
    m.date = pub.date;
    const TDocumentId app = Reference(Child(member, kExchangeNs, "application-reference"));
    m.applicationCountry = app.country;
    m.applicationNumber = app.number;
    m.applicationKind = app.kind;
    m.applicationDate = app.date;
    m.priorities = PriorityClaims(member);
    if (f.familyId.empty()) f.familyId = Attr(member, "family-id");
    const bool known = std::any_of(f.members.begin(), f.members.end(),
                                   [&](const TOpsFamilyMember& k) { return k.Shown() == m.Shown(); });
    if (!known) f.members.push_back(std::move(m));
  }
  if (f.familyId.empty()) f.familyId = Attr(family, "family-id");
  f.total = family.attribute("total-result-count") ? Count(family, "total-result-count", 0, 1000000)
                                                   : static_cast<int64_t>(f.members.size());
  return f;
}
