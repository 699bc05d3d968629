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

// Finds the positions in an input at which an attempt can succeed: where the
// leading literal or one of the few first bytes stands, found by a vector scan
// as the search goes on. The input ends at its first NUL, which the scans meet
// on their way, so an input is never read ahead of the search. The required
// literal is looked for when needed, and where it was last found is kept for
// the searches that follow.
class StartFinder {
 public:
  explicit StartFinder(const SearchAids& aids);
  // Forgets what was found in the input before.
  void NewInput() {
    must_from_ = -1;
    must_at_ = -1;
  }
  // The first position from p on at which a match can begin, -1 when there
  // is none. in holds len bytes and a NUL; the search began at from, and no
  // NUL stands before p - 1, the place handed out before (or p is from).
  int64_t Next(const SearchAids& aids, const uint8_t* in, int64_t len, int64_t p, int64_t from);

 private:
  bool MustFollows(const std::string& must, const uint8_t* in, int64_t len, int64_t p);

  bool has_rule_ = false;
  MarkRule rule_;
  // The required literal stands at must_at_ (-1: nowhere) from must_from_ on.
  int64_t must_from_ = -1;
  int64_t must_at_ = -1;
};

}  // namespace regex_engine
