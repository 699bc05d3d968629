#include "regex/memo.h"

#include <algorithm>

#include "regex/matcher.h"

namespace regex_engine {

namespace {

// Sets or clears the bits lo to hi (inclusive) of a bit row.
void ChangeRange(uint64_t* row, int64_t lo, int64_t hi, bool set) {
  int64_t first = lo >> 6, last = hi >> 6;
  uint64_t head = ~uint64_t(0) << (lo & 63), tail = ~uint64_t(0) >> (63 - (hi & 63));
  auto apply = [&](int64_t w, uint64_t m) { row[w] = set ? row[w] | m : row[w] & ~m; };
  if (first == last) {
    apply(first, head & tail);
    return;
  }
  apply(first, head);
  for (int64_t w = first + 1; w < last; ++w) row[w] = set ? ~uint64_t(0) : 0;
  apply(last, tail);
}

}  // namespace

void TMemo::Plan(const std::vector<uint8_t>& code, std::vector<RepeatPlan>& plans) {
  ProgramView program(code.data());
  const int32_t size = int32_t(code.size());
  arrival_.assign(code.size(), -1);
  // The ways into each node, counted up to two.
  std::vector<uint8_t> ways(code.size(), 0);
  auto way = [&](int32_t target) {
    if (target >= 0 && target < size && ways[size_t(target)] < 2) ++ways[size_t(target)];
  };
  std::vector<int32_t> nodes;
  for (int32_t node = kFirstNode; node < size; node += program.Size(node)) {
    nodes.push_back(node);
    uint8_t op = program.Kind(node);
    if (IsBackRef(op) || (IsSimpleRepeat(op) && IsBackRef(program.Kind(program.RepeatOperand(node)))))
      backrefs_ = true;
    if (op == OpEnd) continue;
    if (op == OpBranch) {
      way(program.BranchBody(node));
      int32_t alt = program.Next(node);
      if (alt >= 0 && program.Kind(alt) == OpBranch) way(alt);
    } else if (op == OpLoop || op == OpLoopLazy) {
      way(program.LoopBody(node));
      way(program.Next(node));
    } else {
      way(program.Next(node));
      // A repeat of several possible counts goes on from several places.
      if (IsSimpleRepeat(op) && program.RepeatMin(node) != program.RepeatMax(node)) way(program.Next(node));
    }
  }
  if (backrefs_) return;

  // The counted loops around each node: a loop's body and its end node lie
  // between its entry node and its end node.
  struct Loop {
    int32_t end;
    int64_t range;
  };
  std::vector<Loop> open;
  for (int32_t node : nodes) {
    while (!open.empty() && node > open.back().end) open.pop_back();
    uint8_t op = program.Kind(node);
    RepeatPlan* run = nullptr;
    if (IsSimpleRepeat(op)) {
      RepeatPlan& plan = plans[size_t(program.RepeatPlan(node))];
      if (plan.one_byte && plan.max == kInfinite) run = &plan;
    }
    if ((run || ways[size_t(node)] >= 2) && slots_ <= kMaxSlots && int(open.size()) <= kLoopDepth) {
      Point point;
      point.base = slots_;
      point.depth = int(open.size());
      int64_t count = 1;
      for (int k = point.depth - 1; k >= 0; --k) {
        point.range[k] = int32_t(std::min<int64_t>(open[size_t(k)].range, kMaxSlots + 1));
        point.stride[k] = count;
        count = std::min<int64_t>(count * point.range[k], kMaxSlots + 1);
      }
      slots_ += count;
      int32_t index = int32_t(points_.size());
      points_.push_back(point);
      if (run) run->run_point = index;
      else arrival_[size_t(node)] = index;
    }
    if (op == OpLoopEntry) {
      int32_t end = program.Next(node);
      int64_t min = program.RepeatMin(end), max = program.RepeatMax(end);
      open.push_back({end, max < kInfinite ? max + 1 : min + 1});
    }
  }
}

bool TMemo::Engage(int64_t len) {
  words_ = (len + 2 + 63) / 64;
  if (slots_ * words_ * 8 > kMaxBytes) return false;
  bits_.assign(size_t(slots_ * words_), 0);
  return true;
}

void TMemo::Release() { std::vector<uint64_t>().swap(bits_); }

void TMemo::SetRange(int64_t slot, int64_t lo, int64_t hi) {
  if (lo <= hi) ChangeRange(bits_.data() + slot * words_, lo, hi, true);
}

void TMemo::ClearPositions(int64_t lo, int64_t hi) {
  if (lo > hi) return;
  for (int64_t slot = 0; slot < slots_; ++slot) ChangeRange(bits_.data() + slot * words_, lo, hi, false);
}

}  // namespace regex_engine
