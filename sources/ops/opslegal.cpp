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

// The codes with a Chinese name of their own, and the name of each class for the rest.
const std::pair<const char*, const char*> kEventNames[] = {
    {"PB01", opseventtext::kPB01}, {"C06", opseventtext::kC06}, {"BB1A", opseventtext::kBB1A},
    {"SE01", opseventtext::kSE01}, {"C10", opseventtext::kC10}, {"EXSB", opseventtext::kEXSB},
    {"DE01", opseventtext::kDE01}, {"GR01", opseventtext::kGR01}, {"C14", opseventtext::kC14},
    {"FG4A", opseventtext::kFG4A}, {"FG1K", opseventtext::kFG1K}, {"GR03", opseventtext::kGR03},
    {"GRSP", opseventtext::kGRSP}, {"CF01", opseventtext::kCF01}, {"C19", opseventtext::kC19},
    {"MM4A", opseventtext::kMM4A}, {"MM1K", opseventtext::kMM1K}, {"CX01", opseventtext::kCX01},
    {"MK4A", opseventtext::kMK4A}, {"MK1K", opseventtext::kMK1K}, {"C17", opseventtext::kC17},
    {"CE01", opseventtext::kCE01}, {"EXPY", opseventtext::kEXPY}, {"AV01", opseventtext::kAV01},
    {"AD01", opseventtext::kAD01}, {"C20", opseventtext::kC20}, {"MA1K", opseventtext::kMA1K},
    {"AR01", opseventtext::kAR01}, {"C25", opseventtext::kC25}, {"RGAV", opseventtext::kRGAV},
    {"IW01", opseventtext::kIW01}, {"IP01", opseventtext::kIP01}, {"C28", opseventtext::kC28},
    {"WD01", opseventtext::kWD01}, {"C02", opseventtext::kC02}, {"C01", opseventtext::kC01},
    {"C05", opseventtext::kC05}, {"C03", opseventtext::kC03}, {"C04", opseventtext::kC04},
    {"WW01", opseventtext::kWW01}, {"RJ01", opseventtext::kRJ01}, {"C12", opseventtext::kC12},
    {"TR01", opseventtext::kTR01}, {"TA01", opseventtext::kTA01}, {"C41", opseventtext::kC41},
    {"CP01", opseventtext::kCP01}, {"CP02", opseventtext::kCP02}, {"CP03", opseventtext::kCP03},
    {"C56", opseventtext::kC56}, {"CB01", opseventtext::kCB01}, {"CB02", opseventtext::kCB02},
    {"CB03", opseventtext::kCB03}, {"CB04", opseventtext::kCB04}, {"EE01", opseventtext::kEE01},
    {"EC01", opseventtext::kEC01}, {"EM01", opseventtext::kEM01}, {"PE01", opseventtext::kPE01},
    {"PC01", opseventtext::kPC01}, {"PM01", opseventtext::kPM01}, {"RA01", opseventtext::kRA01},
    {"RR01", opseventtext::kRR01}, {"C49", opseventtext::kC49}, {"REIN", opseventtext::kREIN},
    {"C52", opseventtext::kC52}, {"PP01", opseventtext::kPP01}, {"PD01", opseventtext::kPD01},
};

const std::pair<char, const char*> kClassNames[] = {
    {'B', opsclasstext::kB}, {'C', opsclasstext::kC}, {'D', opsclasstext::kD}, {'F', opsclasstext::kF},
    {'G', opsclasstext::kG}, {'H', opsclasstext::kH}, {'K', opsclasstext::kK}, {'M', opsclasstext::kM},
    {'P', opsclasstext::kP}, {'Q', opsclasstext::kQ}, {'R', opsclasstext::kR}, {'S', opsclasstext::kS},
    {'T', opsclasstext::kT}, {'W', opsclasstext::kW}, {'Y', opsclasstext::kY}, {'Z', opsclasstext::kZ},
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
  for (const auto& [known, name] : kEventNames)
    if (trimmed == known) return name;
  const char cls = LegalEventClass(trimmed);
  for (const auto& [letter, name] : kClassNames)
    if (cls == letter) return name;
  // The code from the reply, kept to letters and digits, since the cell goes into a page.
  std::string shown;
  for (char c : trimmed.substr(0, 8))
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) shown += c;
  return opstext::kOtherLegalEvent + (shown.empty() ? "" : " " + shown);
}

std::string LegalStatusCell(const std::vector<TOpsLegalEvent>& events) {
  if (events.empty()) return opstext::kLegalUnknown;
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
  const char* status = ended ? opstext::kLegalLapsed : granted ? opstext::kLegalValid : opstext::kLegalPending;
  const TOpsLegalEvent& latest = ordered.back();
  return std::string(status) + opstext::kLegalSeparator + LegalEventChineseName(latest.code) +
         (latest.date.empty() ? "" : " " + latest.date);
}
