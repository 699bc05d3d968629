// The readers of OPS replies (XML, the token's JSON, the throttling header) on any bytes.
// What must hold: a reader reads or throws EOpsError, nothing else; the texts it gives
// are valid UTF-8 without control characters or blanks at their ends; publication
// numbers are digits with a CN kind, applications 8 or 12 digits, dates eight digits or
// empty; a family member's country is two capitals and its number letters and digits,
// each member once; a cited count is not negative; an image document has
// 1 to 5000 pages and its sections start inside them; the legal cell is never empty; a
// throttling limit is absent or between 1 and a million.
#include <cstdint>
#include <set>
#include <string>

#include "base/gbk.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opslegal.h"
#include "sources/ops/opsreplies.h"
#include "sources/ops/opsthrottle.h"
#include "sources/ops/opstoken.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

void CheckText(const std::string& text) {
  FUZZ_CHECK(ValidUtf8(text) == text);
  for (unsigned char c : text) FUZZ_CHECK(c >= 0x20 && c != 0x7F);
  FUZZ_CHECK(text.empty() || (text.front() != ' ' && text.back() != ' '));
}

bool Digits(const std::string& s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return !s.empty();
}

bool Date(const std::string& d) { return d.empty() || (d.size() == 8 && Digits(d)); }

void CheckPriorities(const std::vector<TOpsPriority>& priorities) {
  for (const TOpsPriority& p : priorities) {
    FUZZ_CHECK(!p.number.empty() && Date(p.date));
    CheckText(p.number);
  }
}

void CheckBiblio(const TOpsBiblio& b) {
  FUZZ_CHECK(Digits(b.publication.number) && GrantRank(b.publication.kind) >= 0);
  FUZZ_CHECK(b.application.digits.empty() ||
             (Digits(b.application.digits) && (b.application.digits.size() == 8 || b.application.digits.size() == 12)));
  for (const std::string* t : {&b.titleEnglish, &b.titleOriginal, &b.abstractEnglish, &b.abstractOriginal,
                               &b.familyId})
    CheckText(*t);
  for (const auto* list : {&b.applicantsOriginal, &b.applicantsEpodoc, &b.inventorsOriginal, &b.inventorsEpodoc,
                           &b.ipcClasses, &b.cpcClasses})
    for (const std::string& t : *list) {
      FUZZ_CHECK(!t.empty());
      CheckText(t);
    }
  CheckPriorities(b.priorities);
  FUZZ_CHECK(b.citedCount >= 0);
}

void CheckFamily(const TOpsFamily& f) {
  FUZZ_CHECK(f.total >= 0);
  CheckText(f.familyId);
  std::set<std::string> seen;
  for (const TOpsFamilyMember& m : f.members) {
    FUZZ_CHECK(m.country.size() == 2 && m.country[0] >= 'A' && m.country[0] <= 'Z' && m.country[1] >= 'A' &&
               m.country[1] <= 'Z');
    FUZZ_CHECK(!m.number.empty());
    for (const std::string* t : {&m.number, &m.kind, &m.applicationCountry, &m.applicationNumber, &m.applicationKind})
      for (char c : *t) FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    FUZZ_CHECK(Date(m.date) && Date(m.applicationDate));
    CheckPriorities(m.priorities);
    FUZZ_CHECK(seen.insert(m.Shown()).second);
  }
}

template <typename F>
void Reading(F read) {
  try {
    read();
  } catch (const EOpsError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body = FuzzBytes(data, size);
  Reading([&] {
    const TOpsSearchPage page = ReadSearchReply(body);
    FUZZ_CHECK(page.total >= 0);
    for (const TOpsBiblio& b : page.records) CheckBiblio(b);
  });
  Reading([&] {
    for (const TOpsBiblio& b : ReadBiblioReply(body)) CheckBiblio(b);
  });
  Reading([&] { CheckFamily(ReadFamilyReply(body)); });
  Reading([&] {
    const TOpsImageDocument d = ReadImageInquiry(body, {"101911042", 'B'});
    FUZZ_CHECK(d.pages >= 1 && d.pages <= 5000);
    for (const auto& [name, start] : d.sections) FUZZ_CHECK(start >= 1 && start <= d.pages);
  });
  Reading([&] {
    const std::vector<TOpsLegalEvent> events = ReadLegalReply(body, TOpsApplication{"200880123968"});
    for (const TOpsLegalEvent& e : events) {
      CheckText(e.code);
      CheckText(e.description);
    }
    FUZZ_CHECK(!LegalStatusCell(events).empty());
  });
  const TOpsFault fault = ReadFault(body);
  CheckText(fault.code);
  CheckText(fault.message);
  IsInvalidTokenReply(400, body, {body});
  Reading([&] {
    const TOpsToken token = ReadTokenReply(body);
    FUZZ_CHECK(!token.accessToken.empty() && token.accessToken.find_first_of(" \r\n") == std::string::npos);
    FUZZ_CHECK(token.expiresIn.count() >= 1 && token.expiresIn.count() <= 86400);
  });
  const TOpsThrottling t = ReadThrottlingControl(body);
  for (const TOpsServiceThrottle& s : t.services) FUZZ_CHECK(s.limit == -1 || (s.limit >= 1 && s.limit <= 1000000));
  return 0;
}
