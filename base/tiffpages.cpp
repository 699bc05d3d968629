#include "base/tiffpages.h"

#include <cstdint>
#include <set>

long TiffImageCount(const std::string& b) {
  if (b.size() < 8) return -1;
  const bool big = b[0] == 'M' && b[1] == 'M';
  if (!big && !(b[0] == 'I' && b[1] == 'I')) return -1;
  auto byte = [&](size_t i) { return uint32_t(static_cast<unsigned char>(b[i])); };
  auto u16 = [&](size_t i) { return big ? byte(i) << 8 | byte(i + 1) : byte(i + 1) << 8 | byte(i); };
  auto u32 = [&](size_t i) {
    return big ? byte(i) << 24 | byte(i + 1) << 16 | byte(i + 2) << 8 | byte(i + 3)
               : byte(i + 3) << 24 | byte(i + 2) << 16 | byte(i + 1) << 8 | byte(i);
  };
  if (u16(2) != 42) return -1;
  std::set<uint32_t> seen;
  long pages = 0;
  for (uint32_t at = u32(4); at != 0;) {
    // An IFD lies after the header, wholly inside the file, and is met once.
    if (at < 8 || size_t(at) + 2 > b.size() || !seen.insert(at).second) return -1;
    const size_t entries = u16(at);
    const size_t next = size_t(at) + 2 + entries * 12;
    if (entries == 0 || next + 4 > b.size()) return -1;
    ++pages;
    at = u32(next);
  }
  return pages;
}
