// What the matcher works out once per program: the plan of each simple
// repeat, the table of each alternative, and links past nodes that an
// attempt would only step through.
#include <map>

#include "regex/errors.h"
#include "regex/matcher.h"

namespace regex_engine {

namespace {

// Nodes looked at to work out one table of where the rest can begin.
constexpr int kFollowBudget = 64;

// The bytes that accepted refuses (the NUL, the end of the input, among
// them), that also holds or that equal extra, when they are at most four.
bool FewBytes(const ByteTable& accepted, const ByteTable* also, int extra, ScanBytes& out) {
  out = ScanBytes();
  for (int c = 0; c < 256; ++c) {
    bool in = !accepted[size_t(c)] || (also && (*also)[size_t(c)]) || c == extra;
    if (!in) continue;
    if (out.n == 4) return false;
    out.b[out.n++] = uint8_t(c);
  }
  return true;
}

}  // namespace

// Works out the plan of every simple repeat and the table of every
// alternative, and writes their indices into the nodes' slots.
void TMatcher::BuildPlans() {
  ProgramView program = Program();
  SkipEmptyNodes();
  std::map<ByteTable, int32_t> known;  // alternatives often share their table
  for (int32_t node = kFirstNode; node < int32_t(code_.size());) {
    int32_t size = program.Size(node);
    if (size <= 0) throw EngineError{kErrInternal, 0};
    uint8_t op = program.Kind(node);
    if (IsSimpleRepeat(op)) {
      WriteRepeatPlan(code_.data(), node, int32_t(plans_.size()));
      plans_.push_back(PlanFor(node));
    } else if (op == OpBranch) {
      ByteTable table;
      int budget = kFollowBudget;
      int32_t index = -1;
      if (FollowTable(program.BranchBody(node), table, 0, budget)) {
        auto it = known.emplace(table, int32_t(branch_tables_.size())).first;
        if (it->second == int32_t(branch_tables_.size())) branch_tables_.push_back(table);
        index = it->second;
      }
      WriteBranchTable(code_.data(), node, index);
    }
    node += size;
  }
}

// Links past the nodes that an attempt would only step through: empty nodes,
// comments and branches with one alternative. A branch's own link stays, since
// it tells whether another alternative follows.
void TMatcher::SkipEmptyNodes() {
  ProgramView program = Program();
  auto passes = [&](int32_t n) {
    uint8_t op = program.Kind(n);
    if (op == OpEmpty || op == OpComment) return program.Next(n);
    if (op == OpBranch) {
      int32_t alt = program.Next(n);
      if (alt < 0 || program.Kind(alt) != OpBranch) return program.BranchBody(n);
    }
    return int32_t(-1);
  };
  for (int32_t node = kFirstNode; node < int32_t(code_.size()); node += program.Size(node)) {
    if (program.Kind(node) == OpBranch) continue;
    int32_t next = program.Next(node);
    if (next < 0) continue;
    for (int guard = 0; guard < 64; ++guard) {
      int32_t further = passes(next);
      if (further < 0) break;
      next = further;
    }
    LinkNext(code_.data(), node, next);
  }
}

RepeatPlan TMatcher::PlanFor(int32_t node) const {
  ProgramView program = Program();
  RepeatPlan plan;
  plan.simple = program.RepeatOperand(node);
  plan.next = program.Next(node);
  plan.min = program.RepeatMin(node);
  plan.max = program.RepeatMax(node);
  int budget = kFollowBudget;
  plan.follow_known = FollowTable(plan.next, plan.starts, 0, budget);
  uint8_t op = program.Kind(plan.simple);
  plan.one_byte = IsSingleByte(op);
  if (!plan.one_byte) return plan;
  plan.exact = op != OpAnyButLineSep;
  plan.accepts = TableOf(program, plan.simple);
  // "." without s also stops at the paired separator's head; such a
  // candidate is checked with its tail.
  int head = plan.exact ? -1 : paired_head_;
  plan.run_scan = FewBytes(plan.accepts, nullptr, head, plan.run_end);
  if (plan.follow_known) plan.lazy_scan = FewBytes(plan.accepts, &plan.starts, head, plan.lazy_end);
  return plan;
}

// FollowOk(next, pos) as a table of the byte at pos (the NUL standing for the
// end of the input); false when that byte alone does not decide it, or when
// working it out would take more than the budget of nodes.
bool TMatcher::FollowTable(int32_t next, ByteTable& table, int depth, int& budget) const {
  if (--budget < 0) return false;
  ProgramView program = Program();
  next = SkipMarks(next);
  uint8_t op = next < 0 ? uint8_t(OpEnd) : program.Kind(next);
  if (IsSingleByte(op)) {
    if (op == OpAnyButLineSep) return false;  // it looks at the next byte too
    table = TableOf(program, next);
    return true;
  }
  table.fill(true);
  if (next < 0 || op != OpBranch || depth >= 3) return true;
  ByteTable alternatives{};
  int n = 0;
  for (int32_t alt = next; alt >= 0 && program.Kind(alt) == OpBranch; alt = program.Next(alt)) {
    if (++n > 16) return true;
    ByteTable one;
    if (!FollowTable(program.BranchBody(alt), one, depth + 1, budget)) return false;
    for (size_t c = 0; c < one.size(); ++c) alternatives[c] = alternatives[c] || one[c];
  }
  table = alternatives;
  return true;
}

}  // namespace regex_engine
