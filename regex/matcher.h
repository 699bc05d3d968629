#pragma once
// The compiled pattern with its search aids, and the backtracking matcher
// that runs it over an input.
#include <cstdint>
#include <string>
#include <vector>

#include "regex/bytescan.h"
#include "regex/memo.h"
#include "regex/program.h"
#include "regex/searchaids.h"

namespace regex_engine {

// Steps a search of a pattern with back-references may take by default: a
// second or so of backtracking.
constexpr int64_t kDefaultStepBudget = 100000000;

// What the matcher works out once for each simple repeat.
struct RepeatPlan {
  int32_t simple = -1;   // the repeated node
  int32_t next = -1;     // the node after the repeat
  int32_t min = 0, max = 0;
  bool one_byte = false;  // the repeated node is a single-byte node, not a back-reference
  bool exact = false;     // `accepts` alone decides each byte (not so for OpAnyButLineSep)
  ByteTable accepts{};
  bool follow_known = false;  // FollowOk of the rest is a matter of the byte at the place alone
  ByteTable starts{};         // ... and these are the bytes (the NUL for the end of the input)
  // Candidates for the byte that ends a greedy run (bytes the repeated node
  // refuses) and a lazy run (those, or a byte the rest can begin with), when
  // they are at most four.
  bool run_scan = false, lazy_scan = false;
  ScanBytes run_end, lazy_end;
  int32_t run_point = -1;  // its run record (TMemo), -1 for none
};

class TMatcher {
 public:
  // Compiles the pattern; throws EngineError.
  TMatcher(const std::string& pattern, unsigned flags, const std::string& paired);

  unsigned Flags() const { return flags_; }
  // The next searches are of another input (or of one whose bytes changed).
  void NewInput() {
    new_input_ = true;
    finder_.NewInput();
  }
  // Searches in (len bytes followed by a NUL) from position from (0 to len).
  // The input ends at its first NUL, which the search meets on its way; none
  // may stand before from. On success fills start and end (kGroups each, -1
  // for unset) and returns true. Throws EngineError.
  bool Search(const uint8_t* in, int64_t len, int64_t from, int64_t* start, int64_t* end);

  // Patterns whose work the state record cannot bound (those with
  // back-references) stop a search after this many steps.
  void SetStepBudget(int64_t steps) { budget_ = steps; }
  // Steps an input's searches take before the state record is engaged; -1
  // for the default, which grows with the input.
  void SetMemoThreshold(int64_t steps) { threshold_ = steps; }
  // Steps of the last search: nodes entered, resumed choices included.
  int64_t Steps() const { return steps_ - search_first_step_; }

 private:
  struct Frame {
    uint32_t kind;  // low 4 bits the kind, above them the previous choice index + 1
    int32_t node;
    int64_t a;
    int64_t b;
  };

  void BuildPlans();
  void StepMark();
  int64_t SlotOf(int32_t point) const;
  bool RunFailed(const RepeatPlan& plan, int64_t at) const;
  void RunTried(const RepeatPlan& plan, int64_t lo, int64_t hi);
  void SkipEmptyNodes();
  RepeatPlan PlanFor(int32_t node) const;
  bool FollowTable(int32_t next, ByteTable& table, int depth, int& budget) const;
  bool Attempt(int64_t start, int32_t node, int64_t pos, int64_t* group_start, int64_t* group_end);
  bool Backtrack(int32_t& node, int64_t& pos);
  void PushChoice(uint32_t kind, int32_t node, int64_t a, int64_t b);
  void SetVar(int v, int64_t value);
  void ResetVars();
  bool MatchOne(int32_t node, int64_t pos) const;
  int64_t CountSimple(const RepeatPlan& plan, int64_t pos, int64_t max) const;
  int64_t CountBackRef(int32_t node, int64_t pos, int64_t max) const;
  int64_t SimpleLen(int32_t node) const;
  bool FollowOk(int32_t next, int64_t pos, int depth = 0) const;
  bool FollowAt(const RepeatPlan& plan, int64_t pos) const;
  int32_t ViableBranch(int32_t alt, int64_t pos) const;
  int32_t SkipMarks(int32_t next) const;
  int64_t LazyCount(const RepeatPlan& plan, int64_t start, int64_t count, int64_t l) const;
  bool TakeGreedy(int32_t node, const RepeatPlan& plan, int64_t start, int64_t count, int64_t l, int64_t& pos);
  bool TakeLazy(int32_t node, const RepeatPlan& plan, int64_t start, int64_t count, int64_t l, int64_t& pos);
  bool LineStartAt(int64_t pos) const;
  bool LineEndAt(int64_t pos) const;
  bool IsWordAt(int64_t pos) const;
  ProgramView Program() const { return ProgramView(code_.data()); }

  // The compiled pattern.
  std::vector<uint8_t> code_;
  unsigned flags_;
  int paired_head_ = -1, paired_tail_ = -1;  // the paired separator's bytes, -1 without one
  SearchAids aids_;
  std::vector<RepeatPlan> plans_;
  std::vector<ByteTable> branch_tables_;  // bytes each alternative can begin with
  StartFinder finder_;

  // The input of the running search.
  const uint8_t* in_ = nullptr;
  int64_t len_ = 0;

  // Matcher state: the variables that backtracking restores (captures, loop
  // counters), the newest undo record of each, and the backtracking stack.
  std::vector<int64_t> vars_;
  std::vector<int32_t> last_undo_;
  uint64_t touched_ = 0;  // variables changed since the attempt began
  std::vector<Frame> stack_;
  int32_t cp_top_ = -1;

  // The state record, engaged for an input once its searches have taken
  // more steps than a pass or two over it would; patterns it cannot serve
  // run under the step budget instead.
  TMemo memo_;
  bool memo_on_ = false;
  bool budgeted_ = false;
  bool new_input_ = true;
  int64_t budget_;
  int64_t steps_ = 0;  // since the input was loaded
  int64_t search_first_step_ = 0;
  int64_t step_mark_ = 0;  // StepMark runs when steps_ reaches it
  int64_t engage_at_ = 0;
  int64_t threshold_ = -1;
};

}  // namespace regex_engine
