// The text-field clauses of the OPS search on any typed words. The first byte chooses how
// many terms the rest of the query holds; the rest, up to a line break, is the title, the
// remainder the abstract. What must hold: the words can never leave their quotes (each
// clause counts terms under its own index alone); a query that fits is within OPS's limits
// with the terms it says; one that does not is sent untranslated; the split gives no empty
// piece, and equivalents only to glossary words.
#include <cstdint>
#include <string>

#include "sources/ops/cqlterms.h"
#include "sources/ops/glossary.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int otherTerms = data[0] % (kOpsTermsInAll + 2);
  const std::string text = FuzzBytes(data + 1, size - 1);
  const size_t line = text.find('\n');
  const std::vector<TOpsTextField> fields = {{"ti", text.substr(0, line)},
                                             {"ab", line == std::string::npos ? "" : text.substr(line + 1)}};
  const TOpsTextClauses r = OpsTextClauses(fields, otherTerms, true);
  FUZZ_CHECK(r.clauses.size() == fields.size());
  int terms = 0;
  for (size_t i = 0; i < r.clauses.size(); ++i) {
    const TCqlTermCount count = CqlTermCount(r.clauses[i]);
    for (const auto& [index, n] : count.byIndex) FUZZ_CHECK(index == fields[i].index);
    terms += count.total;
    if (r.fits) FUZZ_CHECK(count.byIndex.empty() || count.byIndex.begin()->second <= kOpsTermsPerField);
  }
  FUZZ_CHECK(terms == r.terms);
  if (r.fits) FUZZ_CHECK(terms + otherTerms <= kOpsTermsInAll);
  if (!r.fits) FUZZ_CHECK(r.dropped.empty() && r.untranslated.empty());

  for (const TGlossaryWord& w : GlossarySplit(fields[0].words)) {
    FUZZ_CHECK(!w.text.empty());
    FUZZ_CHECK(w.inGlossary || w.equivalents.empty());
  }
  return 0;
}
