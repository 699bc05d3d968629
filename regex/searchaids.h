#pragma once
// What a compiled program tells about where a match can begin, and the
// search for those places in an input.
#include <cstdint>
#include <string>
#include <vector>

#include "regex/bytescan.h"
#include "regex/program.h"

namespace regex_engine {

struct SearchAids {
  ByteTable first_set{};  // bytes that can begin a match (the NUL: a match may be empty)
  ScanBytes first_bytes;  // the same when they are one to three bytes
  bool few_first_bytes = false;
  std::string lead;       // the literal every match begins with
  bool lead_fold = false; // ... in either case of each letter
  int32_t after_lead = -1;  // the node after the leading literal
  bool anchored = false;  // every match begins at the input start
  std::string must;       // a literal every match holds after its first node
};

SearchAids FindSearchAids(const std::vector<uint8_t>& code);
// The aids as text, one per line, for tests.
std::string DescribeSearchAids(const SearchAids& aids);

// Finds the positions in an input at which an attempt can succeed. Places
// that the leading literal or the few first bytes pick are marked while the
// input is copied in; the required literal is looked for when needed, and
// where it was last found is kept for the searches that follow.
class StartFinder {
 public:
  explicit StartFinder(const SearchAids& aids);
  // Takes a new input: copies src (n bytes) up to its first NUL into dst,
  // followed by a NUL, and returns the length of the copy.
  size_t Load(const uint8_t* src, size_t n, ByteBuffer& dst);
  // The first position from p on (p <= len) at which a match can begin, -1
  // when there is none; in holds len bytes and a NUL, from is where the
  // search began.
  int64_t Next(const SearchAids& aids, const uint8_t* in, int64_t len, int64_t p, int64_t from);

 private:
  bool MustFollows(const std::string& must, const uint8_t* in, int64_t len, int64_t p);
  int64_t NextMarked(const SearchAids& aids, const uint8_t* in, int64_t len, int64_t p);

  bool has_rule_ = false;
  MarkRule rule_;
  Marks marks_;
  bool marked_ = false;  // marks_ belongs to the input being searched
  size_t cursor_ = 0;    // the first mark at or after the last place asked for
  // The required literal stands at must_at_ (-1: nowhere) from must_from_ on.
  int64_t must_from_ = -1;
  int64_t must_at_ = -1;
};

}  // namespace regex_engine
