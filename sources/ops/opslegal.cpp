#include "sources/ops/opslegal.h"

#include <algorithm>
#include <map>

#include "base/bytes.h"
#include "sources/ops/opstexts.h"

namespace {

// EPO's table, verbatim (made by the build from cn-legal-codes.tsv).
const char kTable[] =
#include "cnlegalcodes.inc"
    ;

// Codes the table leaves without a class whose meaning is plain from its own wording.
const std::pair<const char*, char> kClassFillIns[] = {
    {"CE01", 'H'},  // TERMINATION OF PATENT RIGHT
    {"RW01", 'H'},  // FULL REVOCATION OF PATENT RIGHT
    {"RP01", 'M'},  // PARTIAL REVOCATION OF PATENT RIGHT
    {"GR03", 'F'},  // GRANT OF SECRET PATENT RIGHT
};

// Code → class, from the CN rows of the table.
const std::map<std::string, char>& Classes() {
  static const std::map<std::string, char> classes = [] {
    std::map<std::string, char> m;
    for (const std::string& line : SplitAt(kTable, '\n')) {
      const std::vector<std::string> f = SplitAt(line, '\t');
      if (f.size() < 7 || f[0] != "CN") continue;
      const std::string cls = TrimBytes(f[6]);
      m[TrimBytes(f[1])] = cls.size() == 1 ? cls[0] : 0;
    }
    for (const auto& [code, cls] : kClassFillIns)
      if (m[code] == 0) m[code] = cls;
    return m;
  }();
  return classes;
}

}  // namespace

char LegalEventClass(const std::string& code) {
  const auto& classes = Classes();
  auto it = classes.find(TrimBytes(code));
  return it == classes.end() ? 0 : it->second;
}

std::string LegalEventChineseName(const std::string& code) {
  const std::string trimmed = TrimBytes(code);
  if (const std::string* name = LegalEventName(trimmed)) return *name;
  if (const char cls = LegalEventClass(trimmed)) return LegalClassName(cls);
  // The code from the reply, kept to letters and digits, since the cell goes into a page.
  std::string shown;
  for (char c : trimmed.substr(0, 8))
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) shown += c;
  return OpsText(TOpsText::OtherLegalEvent) + (shown.empty() ? "" : " " + shown);
}

std::string LegalStatusCell(const std::vector<TOpsLegalEvent>& events) {
  if (events.empty()) return OpsText(TOpsText::LegalUnknown);
  std::vector<TOpsLegalEvent> ordered = events;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const TOpsLegalEvent& a, const TOpsLegalEvent& b) { return a.date < b.date; });
  bool granted = false, ended = false;
  for (const TOpsLegalEvent& e : ordered) {
    switch (LegalEventClass(e.code)) {
      case 'F': granted = true; ended = false; break;
      case 'B':
      case 'H': ended = true; break;
      case 'K':
      case 'C': ended = false; break;
      default: break;
    }
  }
  const TOpsText status = ended ? TOpsText::LegalLapsed : granted ? TOpsText::LegalValid : TOpsText::LegalPending;
  const TOpsLegalEvent& latest = ordered.back();
  return OpsText(status) + OpsText(TOpsText::LegalSeparator) + LegalEventChineseName(latest.code) +
         (latest.date.empty() ? "" : " " + latest.date);
}
