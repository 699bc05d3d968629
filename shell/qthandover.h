#pragma once
#include <functional>

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

  // Runs on the main thread when a run hands its end over, before the start button comes
  // back (and before the result button's question): the dialog adds what the run left it.
  void SetRunEnded(std::function<void()> ended) { ended_ = std::move(ended); }

 private:
  // Runs step on the main thread and waits for it; directly when already there.
  void OnMainThread(const std::function<void()>& step);

  QPlainTextEdit* memo_;
  QAbstractButton* startButton_;
  QAbstractButton* resultButton_;
  std::function<void()> ended_;
};
