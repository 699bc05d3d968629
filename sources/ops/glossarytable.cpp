// The table alone in its file: the rest of the glossary code rebuilds without it.
#include "sources/ops/glossarytable.h"

#include "glossarytable.inc"

namespace glossarytable {

static_assert(sizeof kGlossaryIndex / sizeof kGlossaryIndex[0] == kGlossaryWords + 1);

int Size() { return kGlossaryWords; }

std::string_view Record(int i) {
  const char* text = reinterpret_cast<const char*>(kGlossaryText);
  return {text + kGlossaryIndex[i], kGlossaryIndex[i + 1] - kGlossaryIndex[i]};
}

int LongestWord() { return kGlossaryLongestWord; }

}  // namespace glossarytable
