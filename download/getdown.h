#pragma once
#include <string>
#include <vector>

#include "base/handover.h"

// One download run. Create it with new: the constructor copies the numbers text and
// starts the thread at once; the object deletes itself when its run ends. The hand-over
// must outlive the run (the dialog owns it).
class getdown {
 public:
  getdown(RunHandOver* handOver, std::string numbersText);
  getdown(const getdown&) = delete;
  getdown& operator=(const getdown&) = delete;

  // Blocks until every download run of the process has ended and its object is gone.
  static void WaitAllDone();

 private:
  ~getdown();
  void Execute();
  // The run proper; false when it ended early (record search, detail page or page list).
  bool RunNumbers(const std::vector<std::string>& numbers);
  void Report(const std::string& line);

  RunHandOver* handOver_;
  std::string numbersText_;
};
