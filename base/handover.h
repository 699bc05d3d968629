#pragma once
#include <functional>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

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
