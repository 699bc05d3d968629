// The readers of the image inquiry and of the legal events.
#include <algorithm>

#include "base/bytes.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opstexts.h"
#include "sources/ops/opsxml.h"

using namespace opsxml;

namespace {

constexpr int kMostPages = 5000;
const char kImagesPrefix[] = "published-data/images/";

// Whether an instance's link ("published-data/images/CN/101911042/B/fullimage", the
// prefix optional) names the publication.
bool LinkNames(std::string link, const TOpsPublication& pub) {
  if (size_t at = link.find(kImagesPrefix); at != std::string::npos) link.erase(0, at + sizeof kImagesPrefix - 1);
  while (!link.empty() && link[0] == '/') link.erase(0, 1);
  const std::vector<std::string> parts = SplitAt(link, '/');
  if (parts.size() < 3 || parts[0] != "CN" || parts[1] != pub.number || parts[2].empty() || parts[2][0] != pub.kind)
    return false;
  // "B" or a numbered variant of it ("B1"), never another kind.
  return std::all_of(parts[2].begin() + 1, parts[2].end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AmendmentOnly(const std::vector<std::pair<std::string, int>>& sections) {
  return !sections.empty() && std::all_of(sections.begin(), sections.end(),
                                          [](const auto& s) { return s.first == "AMENDMENT"; });
}

TOpsImageDocument ReadInstance(pugi::xml_node instance) {
  TOpsImageDocument d;
  d.pages = static_cast<int>(Count(instance, "number-of-pages", 1, kMostPages));
  for (pugi::xml_node f : Children(Child(instance, kOpsNs, "document-format-options"), kOpsNs, "document-format"))
    d.formats.push_back(Text(f));
  for (pugi::xml_node s : Children(instance, kOpsNs, "document-section")) {
    int64_t start = 0;
    // A section said to start past the last page is a slip of the inquiry: left out.
    if (ReadDecimal(Attr(s, "start-page"), start) && start >= 1 && start <= d.pages)
      d.sections.emplace_back(Attr(s, "name"), static_cast<int>(start));
  }
  return d;
}

std::string GazetteDate(const std::string& text) {
  auto digits = [](const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (text.size() == 10 && text[4] == '-' && text[7] == '-' && digits(text.substr(0, 4)) &&
      digits(text.substr(5, 2)) && digits(text.substr(8, 2)))
    return text;
  if (text.size() == 8 && digits(text)) return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2);
  return "";
}

// Whether a family member's application reference names app, in any of its forms.
bool MemberOf(pugi::xml_node member, const TOpsApplication& app) {
  const pugi::xml_node reference = Child(member, kExchangeNs, "application-reference");
  for (pugi::xml_node id : Children(reference, kExchangeNs, "document-id")) {
    const std::string country = Text(Child(id, kExchangeNs, "country"));
    TOpsApplication named;
    if ((country.empty() || country == "CN") && ReadReplyApplication(Text(Child(id, kExchangeNs, "doc-number")), named) &&
        named.digits == app.digits)
      return true;
  }
  return false;
}

TOpsLegalEvent ReadEvent(pugi::xml_node legal) {
  TOpsLegalEvent e;
  e.code = Attr(legal, "code");
  if (e.code.empty()) e.code = Text(Child(legal, kOpsNs, "L008EP"));
  const std::string influence = Attr(legal, "infl");
  e.influence = influence == "+" || influence == "-" ? influence[0] : ' ';
  e.date = GazetteDate(Text(Child(legal, kOpsNs, "L007EP")));
  e.description = Attr(legal, "desc");
  return e;
}

}  // namespace

int TOpsImageDocument::SectionStart(const std::string& name) const {
  for (const auto& [section, start] : sections)
    if (section == name) return start;
  return 0;
}

TOpsImageDocument ReadImageInquiry(const std::string& body, const TOpsPublication& pub) {
  const TReply reply(body);
  const pugi::xml_node result = Path(reply.Root(), kOpsNs, {"document-inquiry", "inquiry-result"});
  if (!Is(reply.Root(), kOpsNs, "world-patent-data") || !result) Missing("ops:inquiry-result");
  for (pugi::xml_node instance : Children(result, kOpsNs, "document-instance")) {
    if (Attr(instance, "desc") != "FullDocument" || !LinkNames(Attr(instance, "link"), pub)) continue;
    TOpsImageDocument d = ReadInstance(instance);
    if (!AmendmentOnly(d.sections)) return d;
  }
  throw EOpsReplyError(opstext::kNoFullDocument + pub.Shown());
}

std::vector<TOpsLegalEvent> ReadLegalReply(const std::string& body, const TOpsApplication& app) {
  const TReply reply(body);
  const pugi::xml_node family = Child(reply.Root(), kOpsNs, "patent-family");
  if (!Is(reply.Root(), kOpsNs, "world-patent-data") || !family) Missing("ops:patent-family");
  std::vector<TOpsLegalEvent> events;
  for (pugi::xml_node member : Children(family, kOpsNs, "family-member")) {
    if (!MemberOf(member, app)) continue;
    for (pugi::xml_node legal : Children(member, kOpsNs, "legal")) events.push_back(ReadEvent(legal));
  }
  return events;
}
