// The rule that makes a file name from text (a title, a search expression), on any text.
// Byte 0 picks the extension ("", ".pdf", ".html"), byte 1 the length (up to 16) of the
// distinguishing tail that follows; the text follows that.
// What must hold: the name stays inside its directory (no "/" and no NUL, never "", "."
// or ".."), ends with its extension, and fits the file system once it is a path's name.
#include <algorithm>
#include <cstdint>
#include <string>

#include "base/files.h"
#include "base/path.h"
#include "tests/fuzz/fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const char* const kExtensions[] = {"", ".pdf", ".html", ""};
  const std::string extension = kExtensions[data[0] & 3];
  const size_t tailSize = std::min<size_t>(data[1] % 17, size - 2);
  const std::string tail = FuzzBytes(data + 2, tailSize);
  const std::string text = FuzzBytes(data + 2 + tailSize, size - 2 - tailSize);

  const std::string name = FileNameFromText(text, extension, tail);
  FUZZ_CHECK(name.find_first_of(std::string("/\0", 2)) == std::string::npos);
  FUZZ_CHECK(name != "" && name != "." && name != "..");
  FUZZ_CHECK(name.size() >= extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0);
  const TPath dir = TPath::FromSystem("/d/");
  FUZZ_CHECK((dir + name).Bytes().size() - dir.Bytes().size() <= kMaxFileNameBytes);
  if (extension.empty() && tail.empty()) FUZZ_CHECK(FileNameFromText(text) == name);
  return 0;
}
