#pragma once
#include <functional>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// Where a long run stands, for a dialog's progress bars: its records (and a download's
// pages of the record in hand) done and in all, and the time left.
struct TRunStanding {
  long records = 0, recordsTotal = 0;
  long pages = 0, pagesTotal = 0;  // 0 in all: no pages to show
  long secondsLeft = -1;           // -1: not known yet
};

// The seconds a run still needs at the pace so far: spent over done of total; -1 before
// anything is done.
long SecondsLeft(double spentSeconds, long done, long total);
// " k/N", then "，预计还需 X 分钟" (or 秒) when the time left is known: the tail of a long
// run's record lines (GBK).
std::string StandingText(long k, long n, long secondsLeft);
// The time left alone, as StandingText gives it after k/N ("预计还需 X 分钟").
std::string TimeLeftText(long secondsLeft);

// How a worker reaches its dialog. Each call blocks the worker until the other side
// has run it, so a worker lives until the user has answered its question.
class RunHandOver {
 public:
  virtual ~RunHandOver() = default;
  // Appends one progress line (GBK) to the dialog's memo.
  virtual void ShowProgress(const std::string& line) = 0;
  // Normal end: gives the start button back, then clicks the result button.
  virtual void FinishRun() = 0;
  // Early end: gives the start button back only.
  virtual void GiveStartBack() = 0;
  // Where a long run stands now (shown beside the memo); nothing by default.
  virtual void ShowStanding(const TRunStanding& /*standing*/) {}
};

// The hand-over run directly on the worker thread, for varnolt-cli and tests. It keeps
// what it was handed and calls the optional hooks as each step comes.
class DirectHandOver : public RunHandOver {
 public:
  std::function<void(const std::string&)> onProgress;
  std::function<void()> onFinish;
  std::function<void()> onStartBack;

  void ShowProgress(const std::string& line) override;
  void FinishRun() override;
  void GiveStartBack() override;

  std::vector<std::string> Lines() const;
  int FinishCount() const;
  int StartBackCount() const;
  // Blocks until the run has ended one way or the other (FinishRun or GiveStartBack).
  void WaitForEnd() const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable ended_;
  std::vector<std::string> lines_;
  int finishCount_ = 0;
  int startBackCount_ = 0;
};
