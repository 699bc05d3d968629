// The backtracking matcher. One attempt walks the node chain from the first
// node with a position in the input, in a loop and without recursion, so that
// deep backtracking cannot overflow the thread's stack.
//
// Every place where the attempt makes a choice that may have to be taken back
// pushes a choice frame onto an explicit stack: a further alternative of a
// branch, a simple repeat that can still take another count, a counted loop
// that can still stop or go on. The frame holds the node and the input
// position to come back to, and the count of a repeat.
//
// The variables a choice may have to restore (group starts and ends, the loop
// stack index, each loop's counter and where its last pass began) change only
// through SetVar, which first pushes an undo record with the old value. One
// record per variable above the newest choice frame is enough, since only the
// value from before that choice must come back; last_undo_ remembers where
// each variable's newest record is.
//
// When a node fails, Backtrack pops the stack: undo records put their values
// back, and the first choice frame resumes the attempt with its next option.
// An empty stack means the attempt failed. The stack is bounded, so that a
// runaway pattern ends in an error instead of exhausting memory.
//
// Steps (nodes entered) are counted. Once the searches of an input have taken
// more of them than a pass or two over it, the state record (memo.h) is
// engaged and every later step either makes progress or fails at once, so a
// pattern without back-references cannot stall a search. A pattern with them
// runs under the step budget instead.
#include "regex/matcher.h"

#include <algorithm>

#include "regex/compiler.h"
#include "regex/errors.h"

namespace regex_engine {

namespace {

// About 200 MB of frames.
constexpr size_t kMaxFrames = size_t(8) << 20;

// Steps an input is given before the state record is engaged, beyond one per
// byte: the record costs a bit per recorded node and byte, which ordinary
// searches never need.
constexpr int64_t kEngageSteps = 4096;

// Variables restored on backtracking: group starts, group ends, the loop
// stack index, the loop counters and where each loop's last pass began.
constexpr int kVarStart = 0;
constexpr int kVarEnd = kVarStart + kGroups;
constexpr int kVarLoopIdx = kVarEnd + kGroups;
constexpr int kVarCount = kVarLoopIdx + 1;  // + level (1 to 10)
constexpr int kVarIter = kVarCount + kLoopDepth;
constexpr int kVarTotal = kVarIter + kLoopDepth + 1;
static_assert(kVarTotal <= 64, "one bit per variable in the touched mask");
constexpr uint64_t kGroupVars = ((uint64_t(1) << kVarLoopIdx) - 1) & ~(uint64_t(1) << kVarStart) & ~(uint64_t(1) << kVarEnd);

enum FrameKind : uint32_t { FUndo, FBranch, FStar, FStarLazy, FLoopExit, FLoopMore };

}  // namespace

TMatcher::TMatcher(const std::string& pattern, unsigned flags, const std::string& paired)
    : code_(CompileProgram(pattern, flags)),
      flags_(flags),
      aids_(FindSearchAids(code_)),
      finder_(aids_) {
  if (paired.size() == 2) {
    paired_head_ = uint8_t(paired[0]);
    paired_tail_ = uint8_t(paired[1]);
  }
  BuildPlans();
  memo_.Plan(code_, plans_);
  budget_ = kDefaultStepBudget;
  vars_.assign(kVarTotal, -1);
  vars_[kVarLoopIdx] = 0;
  last_undo_.assign(kVarTotal, -1);
}

bool TMatcher::Search(const uint8_t* in, int64_t len, int64_t from, int64_t* start, int64_t* end) {
  if (new_input_ || in != in_ || len != len_) {
    // What was recorded belongs to the input before.
    new_input_ = false;
    memo_on_ = false;
    memo_.Release();
    budgeted_ = memo_.HasBackRefs() || (memo_.HasPoints() && !memo_.Usable());
    steps_ = 0;
    engage_at_ = threshold_ >= 0 ? threshold_ : kEngageSteps + len;
  }
  in_ = in;
  len_ = len;
  search_first_step_ = steps_;
  StepMark();
  // Where the finder has found the leading literal whole, attempts begin
  // after it.
  int32_t node = aids_.lead.empty() ? kFirstNode : aids_.after_lead;
  int64_t skip = int64_t(aids_.lead.size());
  for (int64_t p = finder_.Next(aids_, in, len, from, from); p >= 0; p = finder_.Next(aids_, in, len, p + 1, from))
    if (Attempt(p, node, p + skip, start, end)) return true;
  return false;
}

// Ends a search that has run past its budget, engages the state record when
// it is due, and sets the step at which to look again.
void TMatcher::StepMark() {
  if (budgeted_ && steps_ - search_first_step_ > budget_) throw EngineError{kErrStepBudgetExceeded, 0};
  if (!budgeted_ && !memo_on_ && memo_.HasPoints() && steps_ >= engage_at_) {
    if (memo_.Engage(len_)) memo_on_ = true;
    else budgeted_ = true;  // a record of this input would not fit
  }
  if (budgeted_) step_mark_ = search_first_step_ + budget_ + 1;
  else if (!memo_on_ && memo_.HasPoints()) step_mark_ = engage_at_;
  else step_mark_ = INT64_MAX;
}

// The slot of a recorded node for the counters of the loops around it.
int64_t TMatcher::SlotOf(int32_t point) const {
  const TMemo::Point& p = memo_.PointAt(point);
  int64_t slot = p.base;
  for (int k = 0; k < p.depth; ++k)
    slot += std::clamp<int64_t>(vars_[size_t(kVarCount + k)], 0, p.range[k] - 1) * p.stride[k];
  return slot;
}

// Whether entering the repeat with its minimum met at `at` is known to fail.
inline bool TMatcher::RunFailed(const RepeatPlan& plan, int64_t at) const {
  return memo_.Test(SlotOf(plan.run_point), at);
}

// Entering with the minimum met anywhere from lo to hi fails.
inline void TMatcher::RunTried(const RepeatPlan& plan, int64_t lo, int64_t hi) {
  memo_.SetRange(SlotOf(plan.run_point), lo, hi);
}

inline void TMatcher::PushChoice(uint32_t kind, int32_t node, int64_t a, int64_t b) {
  if (stack_.size() >= kMaxFrames) throw EngineError{kErrBacktrackStackExceeded, 0};
  stack_.push_back(Frame{kind | (uint32_t(cp_top_ + 1) << 4), node, a, b});
  cp_top_ = int32_t(stack_.size() - 1);
}

// Records the old value for backtracking unless an undo record of this
// variable already sits above the newest choice frame.
inline void TMatcher::SetVar(int v, int64_t value) {
  int64_t& slot = vars_[size_t(v)];
  if (slot == value) return;
  int32_t lu = last_undo_[size_t(v)];
  if (!(lu > cp_top_ && size_t(lu) < stack_.size())) {
    if (stack_.size() >= kMaxFrames) throw EngineError{kErrBacktrackStackExceeded, 0};
    stack_.push_back(Frame{FUndo, v, slot, lu});
    last_undo_[size_t(v)] = int32_t(stack_.size() - 1);
  }
  touched_ |= uint64_t(1) << v;
  slot = value;
}

// Only the variables the last attempt changed need their start values back.
void TMatcher::ResetVars() {
  for (uint64_t t = touched_; t; t &= t - 1) {
    int v = __builtin_ctzll(t);
    vars_[size_t(v)] = v == kVarLoopIdx ? 0 : -1;
    last_undo_[size_t(v)] = -1;
  }
  touched_ = 0;
}

// Without a paired separator head and tail are -1 and match no byte.
bool TMatcher::LineStartAt(int64_t pos) const {
  if (pos == 0) return true;
  int prev = in_[pos - 1];
  if (pos >= 2 && in_[pos - 2] == paired_head_ && prev == paired_tail_) return true;
  if (Classes().linesep[prev]) return !(prev == paired_head_ && in_[pos] == paired_tail_);
  return false;
}

bool TMatcher::LineEndAt(int64_t pos) const {
  if (pos >= len_ || in_[pos] == 0) return true;
  int cur = in_[pos];
  if (cur == paired_head_ && in_[pos + 1] == paired_tail_) return true;
  if (Classes().linesep[cur]) return !(cur == paired_tail_ && pos > 0 && in_[pos - 1] == paired_head_);
  return false;
}

bool TMatcher::IsWordAt(int64_t pos) const { return pos >= 0 && pos < len_ && Classes().word[in_[pos]]; }

// One match of a single-byte node at pos.
[[gnu::always_inline]] inline bool TMatcher::MatchOne(int32_t node, int64_t pos) const {
  if (pos >= len_) return false;
  ProgramView program = Program();
  uint8_t op = program.Kind(node);
  uint8_t c = in_[pos];
  if (c == 0 || !AcceptsByte(op, program.Operand(node), c)) return false;
  // "." without s refuses the paired separator's head in front of its tail.
  return op != OpAnyButLineSep || !(c == paired_head_ && in_[pos + 1] == paired_tail_);
}

// Length one match of a simple node consumes; -1 when a back-reference cannot match.
inline int64_t TMatcher::SimpleLen(int32_t node) const {
  ProgramView program = Program();
  if (!IsBackRef(program.Kind(node))) return 1;
  int g = program.Group(node);
  int64_t s = vars_[size_t(kVarStart + g)], e = vars_[size_t(kVarEnd + g)];
  if (s < 0 || e < 0 || e < s) return -1;
  return e - s;
}

// How many times in a row (at most max) the repeated node matches from pos.
inline int64_t TMatcher::CountSimple(const RepeatPlan& plan, int64_t pos, int64_t max) const {
  if (!plan.one_byte) return CountBackRef(plan.simple, pos, max);
  int64_t limit = std::min(max, len_ - pos);
  if (limit <= 0) return 0;
  if (plan.run_scan && limit > 16) {
    // Jump from one byte that may end the run to the next.
    const uint8_t* end = in_ + pos + limit;
    for (const uint8_t* q = in_ + pos;; ++q) {
      q = FindAnyOf(q, end, plan.run_end);
      if (q == end || !MatchOne(plan.simple, q - in_)) return q - (in_ + pos);
    }
  }
  int64_t n = 0;
  const uint8_t* p = in_ + pos;
  if (plan.exact) {
    while (n < limit && plan.accepts[p[n]]) ++n;
  } else {
    while (n < limit && MatchOne(plan.simple, pos + n)) ++n;
  }
  return n;
}

int64_t TMatcher::CountBackRef(int32_t node, int64_t pos, int64_t max) const {
  ProgramView program = Program();
  bool fold = program.Kind(node) == OpBackRefCI;
  int g = program.Group(node);
  int64_t s = vars_[size_t(kVarStart + g)], e = vars_[size_t(kVarEnd + g)];
  if (s < 0 || e < 0 || e < s) return 0;
  int64_t l = e - s;
  if (l == 0) return max;  // every count ends at the same place
  int64_t n = 0;
  for (int64_t at = pos; n < max && at + l <= len_; at += l, ++n) {
    for (int64_t k = 0; k < l; ++k) {
      uint8_t a = in_[at + k], b = in_[s + k];
      if (!(a == b || (fold && a == InvertCase(b)))) return n;
    }
  }
  return n;
}

// The first node of the sequence at next past zero-width group marks,
// comments and empty nodes; -1 when there is none within a few nodes.
int32_t TMatcher::SkipMarks(int32_t next) const {
  ProgramView program = Program();
  for (int guard = 0; next >= 0 && guard < 32; ++guard) {
    uint8_t op = program.Kind(next);
    if (!(IsOpen(op) || IsClose(op) || op == OpComment || op == OpEmpty)) return next;
    next = program.Next(next);
  }
  return -1;
}

// Whether the node sequence at next can possibly go on at pos, judged by its
// first byte-consuming node; a few alternatives of a branch are looked into
// as well. True when it cannot tell.
bool TMatcher::FollowOk(int32_t next, int64_t pos, int depth) const {
  next = SkipMarks(next);
  if (next < 0) return true;
  ProgramView program = Program();
  uint8_t op = program.Kind(next);
  if (IsSingleByte(op)) return MatchOne(next, pos);
  if (op != OpBranch || depth >= 3) return true;
  int n = 0;
  for (int32_t alt = next; alt >= 0 && program.Kind(alt) == OpBranch; alt = program.Next(alt)) {
    if (++n > 16) return true;
    if (FollowOk(program.BranchBody(alt), pos, depth + 1)) return true;
  }
  return false;
}

// FollowOk for the rest after a repeat, from its plan when it can.
inline bool TMatcher::FollowAt(const RepeatPlan& plan, int64_t pos) const {
  return plan.follow_known ? plan.starts[in_[pos]] : FollowOk(plan.next, pos);
}

// The smallest count from count on (at most max) after which the rest can
// start, each further count needing one more match of the repeated node; -1
// when there is none.
inline int64_t TMatcher::LazyCount(const RepeatPlan& plan, int64_t start, int64_t count, int64_t l) const {
  if (plan.follow_known && (plan.lazy_scan || plan.exact)) {
    // One pass over the bytes, as long as they continue the repeat and
    // cannot begin the rest.
    const uint8_t* p = in_ + start + count;
    const uint8_t* limit = in_ + start + std::min<int64_t>(plan.max, len_ - start);
    for (;;) {
      if (plan.lazy_scan) p = FindAnyOf(p, limit, plan.lazy_end);
      else while (p < limit && !plan.starts[*p] && plan.accepts[*p]) ++p;
      if (p >= limit || plan.starts[*p]) break;
      if (!MatchOne(plan.simple, p - in_)) return -1;
      ++p;  // a candidate the repeated node takes after all
    }
    return plan.starts[*p] ? p - (in_ + start) : -1;
  }
  for (;;) {
    if (FollowOk(plan.next, start + count * l)) return count;
    if (count >= plan.max || CountSimple(plan, start + count * l, 1) != 1) return -1;
    ++count;
  }
}

// The first alternative from alt on that can begin at pos, -1 when none;
// alternatives that cannot start here need no choice frame.
inline int32_t TMatcher::ViableBranch(int32_t alt, int64_t pos) const {
  ProgramView program = Program();
  while (alt >= 0 && program.Kind(alt) == OpBranch) {
    int32_t t = program.BranchTable(alt);
    if (t >= 0 ? branch_tables_[size_t(t)][in_[pos]] : FollowOk(program.BranchBody(alt), pos)) return alt;
    alt = program.Next(alt);
  }
  return -1;
}

// A greedy repeat takes the largest count from count down after which the
// rest can start, and leaves a frame for the smaller ones.
inline bool TMatcher::TakeGreedy(int32_t node, const RepeatPlan& plan, int64_t start, int64_t count, int64_t l,
                          int64_t& pos) {
  while (count >= plan.min && !FollowAt(plan, start + count * l)) --count;
  if (count < plan.min) return false;
  if (count > plan.min) PushChoice(FStar, node, start, count);
  pos = start + count * l;
  return true;
}

// A lazy repeat takes the smallest count from count up after which the rest
// can start, and leaves a frame for the larger ones.
inline bool TMatcher::TakeLazy(int32_t node, const RepeatPlan& plan, int64_t start, int64_t count, int64_t l,
                        int64_t& pos) {
  const bool record = memo_on_ && plan.run_point >= 0;
  const int64_t tried = count;
  count = LazyCount(plan, start, count, l);
  if (record && (count < 0 || RunFailed(plan, start + plan.min) || RunFailed(plan, start + count))) {
    // No end from the first one on can work (ends past the run were refused).
    RunTried(plan, start + plan.min, start + std::max(count, tried));
    return false;
  }
  if (count < 0) return false;
  if (count < plan.max) PushChoice(FStarLazy, node, start, count);
  pos = start + count * l;
  return true;
}

// One attempt at start, from node at pos (past what is known to match).
bool TMatcher::Attempt(int64_t start, int32_t node, int64_t pos, int64_t* group_start, int64_t* group_end) {
  ResetVars();
  stack_.clear();
  cp_top_ = -1;
  const ProgramView program = Program();
  const uint8_t* prog = code_.data();
  for (;;) {
    if (++steps_ >= step_mark_) StepMark();
    if (memo_on_) {
      // A recorded state met again has failed before.
      int32_t point = memo_.ArrivalPoint(node);
      if (point >= 0 && memo_.TestAndSet(SlotOf(point), pos)) {
        if (!Backtrack(node, pos)) return false;
        continue;
      }
    }
    uint8_t op = prog[node];
    bool ok = true;
    switch (op) {
      case OpEnd:
        // The states on the way here did not fail.
        if (memo_on_) memo_.ClearPositions(start, pos);
        // The match record is unset before the search; only groups this
        // attempt touched can hold anything.
        for (uint64_t t = touched_ & kGroupVars; t; t &= t - 1) {
          int v = __builtin_ctzll(t);
          (v < kVarEnd ? group_start[v - kVarStart] : group_end[v - kVarEnd]) = vars_[size_t(v)];
        }
        group_start[0] = start;
        group_end[0] = pos;
        return true;
      case OpInputStart: ok = pos == 0; node = program.Next(node); break;
      case OpInputEnd: ok = pos >= len_ || in_[pos] == 0; node = program.Next(node); break;
      case OpLineStart: ok = LineStartAt(pos); node = program.Next(node); break;
      case OpLineEnd: ok = LineEndAt(pos); node = program.Next(node); break;
      case OpWordBoundary:
      case OpNotWordBoundary:
        ok = (op == OpWordBoundary) == (IsWordAt(pos - 1) != IsWordAt(pos));
        node = program.Next(node);
        break;
      case OpAnyChar: case OpAnyButLineSep: case OpDigit: case OpNotDigit: case OpTinySet:
      case OpNotTinySet: case OpFullSet:
        ok = MatchOne(node, pos);
        ++pos;
        node = program.Next(node);
        break;
      case OpLiteral:
      case OpLiteralCI: {
        const uint8_t* s = program.Operand(node);
        int64_t p = pos;
        if (op == OpLiteral) {
          while (*s && p < len_ && in_[p] == *s) ++s, ++p;
        } else {
          while (*s && p < len_ && (in_[p] == *s || in_[p] == InvertCase(*s))) ++s, ++p;
        }
        ok = *s == 0;
        pos = p;
        node = program.Next(node);
        break;
      }
      case OpBackRef:
      case OpBackRefCI: {
        int64_t l = SimpleLen(node);
        ok = l >= 0 && CountBackRef(node, pos, 1) == 1;
        if (ok) pos += l;
        node = program.Next(node);
        break;
      }
      case OpEmpty:
      case OpComment:
      case OpBack:
        node = program.Next(node);
        break;
      case OpBranch: {
        int32_t nx = program.Next(node);
        if (nx >= 0 && prog[nx] == OpBranch) {
          int32_t alt = ViableBranch(nx, pos);
          if (alt >= 0) PushChoice(FBranch, alt, pos, 0);
        }
        node = program.BranchBody(node);
        break;
      }
      case OpStar: case OpPlus: case OpBraces:
      case OpStarLazy: case OpPlusLazy: case OpBracesLazy: {
        const RepeatPlan& plan = plans_[size_t(program.RepeatPlan(node))];
        int64_t l = plan.one_byte ? 1 : SimpleLen(plan.simple);
        if (l < 0) {  // a back-reference to an unset group
          ok = plan.min == 0;
          node = plan.next;
          break;
        }
        if (!IsLazyRepeat(op)) {
          int64_t count;
          if (memo_on_ && plan.run_point >= 0) {
            // The ends are tried from the last one down, and those of an entry
            // further on in the run are among them: all are taken as tried
            // at once. Where the entry one byte on failed, only the first end
            // is new, and the run need not be counted.
            int64_t q = pos + plan.min;
            if (RunFailed(plan, q)) {
              ok = false;
              break;
            }
            count = CountSimple(plan, pos, RunFailed(plan, q + 1) ? plan.min : plan.max);
            if (count >= plan.min) RunTried(plan, q, pos + count);
          } else {
            count = l == 0 ? plan.min : CountSimple(plan, pos, plan.max);
          }
          ok = TakeGreedy(node, plan, pos, count, l, pos);
        } else {
          int64_t count = CountSimple(plan, pos, plan.min);
          ok = count >= plan.min && (l == 0 || TakeLazy(node, plan, pos, count, l, pos));
        }
        if (ok) node = plan.next;
        break;
      }
      case OpLoopEntry: {
        int64_t idx = vars_[kVarLoopIdx];
        if (idx >= kLoopDepth) throw EngineError{kErrLoopStackExceeded, 0};
        SetVar(kVarLoopIdx, idx + 1);
        SetVar(kVarCount + int(idx), 0);
        SetVar(kVarIter + int(idx), -1);
        node = program.Next(node);
        break;
      }
      case OpLoop:
      case OpLoopLazy: {
        int64_t idx = vars_[kVarLoopIdx];
        if (idx <= 0) throw EngineError{kErrLoopWithoutEntry, 0};
        int cv = kVarCount + int(idx) - 1, iv = kVarIter + int(idx) - 1;
        int64_t count = vars_[size_t(cv)];
        int32_t body = program.LoopBody(node);
        // A pass that consumed nothing would repeat forever: the loop is done.
        bool empty_pass = count > 0 && vars_[size_t(iv)] == pos;
        bool more = count < program.RepeatMax(node) && !empty_pass;
        bool stop;
        if (count < program.RepeatMin(node) && !empty_pass) {
          stop = false;
        } else if (op == OpLoop) {
          stop = !(more && FollowOk(body, pos));
          if (!stop) PushChoice(FLoopExit, node, pos, 0);
        } else {
          // Lazy: the rest first, unless it cannot start here.
          stop = !more || FollowOk(program.Next(node), pos);
          if (stop && more) PushChoice(FLoopMore, node, pos, 0);
        }
        if (stop) {
          SetVar(kVarLoopIdx, idx - 1);
          node = program.Next(node);
        } else {
          SetVar(cv, count + 1);
          SetVar(iv, pos);
          node = body;
        }
        break;
      }
      default:
        if (IsOpen(op)) {
          SetVar(kVarStart + program.Group(node), pos);
        } else if (IsClose(op)) {
          SetVar(kVarEnd + program.Group(node), pos);
        } else {
          throw EngineError{kErrCorruptedProgram, 0};
        }
        node = program.Next(node);
        break;
    }
    if (ok && node < 0) throw EngineError{kErrCorruptedProgram, 0};
    if (!ok && !Backtrack(node, pos)) return false;
  }
}

bool TMatcher::Backtrack(int32_t& node, int64_t& pos) {
  ProgramView program = Program();
  while (!stack_.empty()) {
    Frame f = stack_.back();
    stack_.pop_back();
    uint32_t kind = f.kind & 15u;
    if (kind == FUndo) {
      vars_[size_t(f.node)] = f.a;
      last_undo_[size_t(f.node)] = int32_t(f.b);
      continue;
    }
    cp_top_ = int32_t(f.kind >> 4) - 1;
    switch (kind) {
      case FBranch: {
        pos = f.a;
        int32_t alt = ViableBranch(program.Next(f.node), pos);
        if (alt >= 0) PushChoice(FBranch, alt, pos, 0);
        node = program.BranchBody(f.node);
        return true;
      }
      case FStar:
      case FStarLazy: {
        const RepeatPlan& plan = plans_[size_t(program.RepeatPlan(f.node))];
        int64_t l = plan.one_byte ? 1 : SimpleLen(plan.simple);
        int64_t count = f.b;
        if (kind == FStar) {
          if (!TakeGreedy(f.node, plan, f.a, count - 1, l, pos)) continue;
        } else {
          if (count >= plan.max || CountSimple(plan, f.a + count * l, 1) != 1) {
            if (memo_on_ && plan.run_point >= 0) RunTried(plan, f.a + plan.min, f.a + count);
            continue;
          }
          if (!TakeLazy(f.node, plan, f.a, count + 1, l, pos)) continue;
        }
        node = plan.next;
        return true;
      }
      case FLoopExit: {
        pos = f.a;
        SetVar(kVarLoopIdx, vars_[kVarLoopIdx] - 1);
        node = program.Next(f.node);
        return true;
      }
      case FLoopMore: {
        pos = f.a;
        int64_t idx = vars_[kVarLoopIdx];
        int cv = kVarCount + int(idx) - 1, iv = kVarIter + int(idx) - 1;
        SetVar(cv, vars_[size_t(cv)] + 1);
        SetVar(iv, pos);
        node = program.LoopBody(f.node);
        return true;
      }
      default:
        throw EngineError{kErrCorruptedProgram, 0};
    }
  }
  return false;
}

}  // namespace regex_engine
