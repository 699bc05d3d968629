#pragma once
// The record of states a failed attempt has been through, which bounds the
// work of a search by the program size times the input length.
//
// Without back-references, whether the rest of a match succeeds from a node
// depends only on the position and on the counters of the counted loops
// around the node, never on the captures or on where the attempt began. So a
// state that was reached once and given up fails again wherever it is met,
// in a later attempt too. Only nodes that can be reached by more than one way
// are recorded (the others are visited at most as often as the one before
// them): where alternatives join, where a loop comes back, and where a repeat
// of several possible counts goes on.
//
// A single-byte repeat without upper bound keeps a run record instead: a bit
// at q says that entering the repeat with its minimum met at q fails, which
// is to say every end from q to the end of the run fails. With it a repeat
// entered inside a run it has already tried costs one step, not the run.
#include <cstdint>
#include <vector>

#include "regex/program.h"

namespace regex_engine {

struct RepeatPlan;

class TMemo {
 public:
  // One recorded node, with the counted loops around it (outermost first):
  // a counter matters up to the loop's bound when it has one, else up to its
  // minimum.
  struct Point {
    int64_t base = 0;  // its first slot
    int depth = 0;
    int32_t range[kLoopDepth] = {};
    int64_t stride[kLoopDepth] = {};
  };

  // Works out the recorded nodes of a program; sets each repeat plan's run
  // point. Nothing is recorded for a program with back-references.
  void Plan(const std::vector<uint8_t>& code, std::vector<RepeatPlan>& plans);

  bool HasBackRefs() const { return backrefs_; }
  // Whether the program has states worth recording and a record of it fits.
  bool Usable() const { return !backrefs_ && !points_.empty() && slots_ <= kMaxSlots; }
  bool HasPoints() const { return !points_.empty(); }
  // The point recorded on arrival at a node, -1 for none.
  int32_t ArrivalPoint(int32_t node) const { return arrival_[size_t(node)]; }
  const Point& PointAt(int32_t point) const { return points_[size_t(point)]; }

  // Makes room for an input of len bytes (positions 0 to len + 1), all
  // clear; false when that would take more than the memory limit.
  bool Engage(int64_t len);
  void Release();

  bool Test(int64_t slot, int64_t pos) const { return (Word(slot, pos) >> (pos & 63)) & 1; }
  // Sets the bit and tells whether it was set before.
  bool TestAndSet(int64_t slot, int64_t pos) {
    uint64_t& w = Word(slot, pos);
    uint64_t m = uint64_t(1) << (pos & 63);
    bool was = w & m;
    w |= m;
    return was;
  }
  void SetRange(int64_t slot, int64_t lo, int64_t hi);
  // A successful attempt has left its own path marked between its start and
  // its end; those states did not fail.
  void ClearPositions(int64_t lo, int64_t hi);

 private:
  static constexpr int64_t kMaxSlots = 1 << 16;
  static constexpr int64_t kMaxBytes = int64_t(256) << 20;

  uint64_t Word(int64_t slot, int64_t pos) const { return bits_[size_t(slot * words_ + (pos >> 6))]; }
  uint64_t& Word(int64_t slot, int64_t pos) { return bits_[size_t(slot * words_ + (pos >> 6))]; }

  bool backrefs_ = false;
  std::vector<Point> points_;
  std::vector<int32_t> arrival_;
  int64_t slots_ = 0;

  std::vector<uint64_t> bits_;
  int64_t words_ = 0;  // per slot
};

}  // namespace regex_engine
