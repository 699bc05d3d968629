#pragma once
#include <functional>
#include <string>

#include "base/handover.h"

class QAbstractButton;
class QPlainTextEdit;

// A worker's hand-over onto the Qt main thread. Each step runs there while the worker
// waits (a blocking queued call), so the worker and its run lock live until the result
// button's handler, and the question it asks, have returned. The controls belong to a
// dialog that lives as long as the program.
class QtHandOver : public RunHandOver {
 public:
  QtHandOver(QPlainTextEdit* memo, QAbstractButton* startButton, QAbstractButton* resultButton);

  void ShowProgress(const std::string& line) override;
  void FinishRun() override;
  void GiveStartBack() override;

  // For the run about to start: at its end, before the start button comes back (and the
  // result button's question), the text reason gives (GBK; "" for none) goes into the memo
  // unless the run's own lines hold it already. nullptr: nothing is added.
  void AddEndReason(std::function<std::string()> reason);

 private:
  // Runs step on the main thread and waits for it; directly when already there.
  void OnMainThread(const std::function<void()>& step);

  QPlainTextEdit* memo_;
  QAbstractButton* startButton_;
  QAbstractButton* resultButton_;
  // Runs on the main thread when the run hands its end over.
  void Ended();

  std::function<std::string()> endReason_;
  int runStart_ = 0;  // where the run's lines begin in the memo
};
