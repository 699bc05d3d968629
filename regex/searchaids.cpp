#include "regex/searchaids.h"

#include <algorithm>

namespace regex_engine {

namespace {

void Unite(ByteTable& set, const ByteTable& more) {
  for (size_t c = 0; c < set.size(); ++c) set[c] = set[c] || more[c];
}

// The bytes that can begin a match, found by walking every way from the
// first node to a byte-consuming node; the NUL stands for "may be empty".
ByteTable FirstBytes(const std::vector<uint8_t>& code) {
  ProgramView program(code.data());
  ByteTable first{};
  bool may_be_empty = false;
  auto add = [&](int32_t node) {
    if (IsSingleByte(program.Kind(node))) Unite(first, TableOf(program, node));
    else may_be_empty = true;  // a back-reference may match anything, or nothing
  };
  std::vector<bool> seen(code.size(), false);
  std::vector<int32_t> work{kFirstNode};
  while (!work.empty()) {
    int32_t node = work.back();
    work.pop_back();
    if (node < 0 || seen[size_t(node)]) continue;
    seen[size_t(node)] = true;
    uint8_t op = program.Kind(node);
    if (op == OpEnd) {
      may_be_empty = true;
    } else if (op == OpBranch) {
      work.push_back(program.BranchBody(node));
      int32_t nx = program.Next(node);
      if (nx >= 0 && program.Kind(nx) == OpBranch) work.push_back(nx);
    } else if (IsSimpleRepeat(op)) {
      add(program.RepeatOperand(node));
      if (program.RepeatMin(node) == 0) work.push_back(program.Next(node));
    } else if (op == OpLoop || op == OpLoopLazy) {
      work.push_back(program.LoopBody(node));
      work.push_back(program.Next(node));
    } else if (IsSingleByte(op) || IsBackRef(op)) {
      add(node);
      if (IsBackRef(op)) work.push_back(program.Next(node));
    } else {  // nodes that match empty
      work.push_back(program.Next(node));
    }
  }
  first[0] = false;
  if (may_be_empty) first.fill(true);
  return first;
}

}  // namespace

SearchAids FindSearchAids(const std::vector<uint8_t>& code) {
  SearchAids aids;
  ProgramView program(code.data());
  if (program.Kind(program.Next(kFirstNode)) == OpEnd) {  // one alternative only
    // Modifier groups and comments at the start leave nodes that match empty.
    int32_t scan = program.BranchBody(kFirstNode);
    while (program.Kind(scan) == OpComment || program.Kind(scan) == OpEmpty) scan = program.Next(scan);
    uint8_t op = program.Kind(scan);
    if (op == OpLiteral || op == OpLiteralCI) {
      aids.lead = program.LiteralText(scan);
      aids.lead_fold = op == OpLiteralCI;
      aids.after_lead = program.Next(scan);
    } else if (op == OpInputStart) {
      aids.anchored = true;
    }
    // Every literal on the alternative's own chain is required; the longest
    // one is looked for. A leading literal needs no search of its own:
    // attempts are only made where it stands.
    size_t best = 0;
    int32_t best_node = -1;
    for (int32_t s = scan; s >= 0 && program.Kind(s) != OpBack; s = program.Next(s)) {
      if (program.Kind(s) != OpLiteral) continue;
      size_t l = std::strlen(program.LiteralText(s));
      if (l > best) {
        best = l;
        best_node = s;
      }
    }
    if (best_node >= 0 && best_node != scan) aids.must = program.LiteralText(best_node);
  }
  aids.first_set = FirstBytes(code);
  if (!aids.first_set[0]) {
    int n = 0;
    for (int c = 1; c < 256 && n <= 3; ++c)
      if (aids.first_set[size_t(c)] && ++n <= 3) aids.first_bytes.b[n - 1] = uint8_t(c);
    aids.few_first_bytes = n <= 3;
    aids.first_bytes.n = n <= 3 ? n : 0;
  }
  return aids;
}

std::string DescribeSearchAids(const SearchAids& aids) {
  std::string out;
  if (aids.anchored) out += "anchored\n";
  if (!aids.lead.empty()) out += "lead \"" + aids.lead + "\"" + (aids.lead_fold ? " either case" : "") + "\n";
  if (!aids.must.empty()) out += "must \"" + aids.must + "\"\n";
  out += "first " + (aids.first_set[0] ? std::string("any") : DescribeBytes(aids.first_set)) + "\n";
  return out;
}

StartFinder::StartFinder(const SearchAids& aids) {
  if (!aids.lead.empty()) {
    // The first byte and one a little further on, in either case if folded.
    const std::string& lead = aids.lead;
    rule_.distance = std::min<size_t>(lead.size() - 1, 31);
    auto both = [&](uint8_t c) {
      ScanBytes s;
      s.b[s.n++] = c;
      if (aids.lead_fold && InvertCase(c) != c) s.b[s.n++] = InvertCase(c);
      return s;
    };
    rule_.first = both(uint8_t(lead[0]));
    if (rule_.distance > 0) rule_.last = both(uint8_t(lead[rule_.distance]));
    has_rule_ = true;
  } else if (aids.few_first_bytes && aids.first_bytes.n > 0) {
    rule_.first = aids.first_bytes;
    has_rule_ = true;
  }
}

bool StartFinder::MustFollows(const std::string& must, const uint8_t* in, int64_t len, int64_t p) {
  if (must_from_ >= 0 && p >= must_from_ && (must_at_ < 0 || p <= must_at_)) return must_at_ >= 0;
  // Found past the input's end it proves nothing, and the attempts fail there.
  const uint8_t* end = in + len;
  const uint8_t* q = FindLiteral(in + p, end, reinterpret_cast<const uint8_t*>(must.data()), must.size(), false);
  must_from_ = p;
  must_at_ = q == end ? -1 : q - in;
  return must_at_ >= 0;
}

int64_t StartFinder::Next(const SearchAids& aids, const uint8_t* in, int64_t len, int64_t p, int64_t from) {
  if (p > len) return -1;
  // Once the end itself was tried there is nothing after it.
  if (p > from && in[p - 1] == 0) return -1;
  // No match can begin where the required literal no longer follows.
  if (!aids.must.empty() && !MustFollows(aids.must, in, len, p)) return -1;
  if (aids.anchored) return p == from ? p : -1;
  if (has_rule_) {
    const uint8_t* end = in + len;
    const auto* lead = reinterpret_cast<const uint8_t*>(aids.lead.data());
    const size_t n = aids.lead.size();
    for (const uint8_t* q = in + p;; ++q) {
      q = FindStartOrEnd(q, end, rule_);
      if (*q == 0) return -1;  // what the rule picks is never the NUL
      if (n == 0 || (size_t(end - q) >= n && LiteralAt(q, lead, n, aids.lead_fold))) return q - in;
    }
  }
  for (; p <= len; ++p) {
    if (aids.first_set[in[p]]) return p;
    if (in[p] == 0) return -1;
  }
  return -1;
}

}  // namespace regex_engine
