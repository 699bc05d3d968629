// The rule that makes a file name from text (a title, a search expression), on any text.
// What must hold: the name stays inside its directory: no "/" and no NUL, and never "",
// "." or "..".
#include <cstdint>
#include <string>

#include "base/files.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string name = FileNameFromText(FuzzBytes(data, size));
  FUZZ_CHECK(name.find_first_of(std::string("/\0", 2)) == std::string::npos);
  FUZZ_CHECK(name != "" && name != "." && name != "..");
  return 0;
}
