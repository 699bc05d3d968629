#pragma once
#include <functional>
#include <string>

#include "base/handover.h"

class QAbstractButton;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QString;

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

  void ShowStanding(const TRunStanding& standing) override;
  // Where ShowStanding shows a run: the records' bar, the pages' bar (nullptr: none) and
  // the time left; all three belong to the dialog.
  void SetStandingView(QProgressBar* records, QProgressBar* pages, QLabel* timeLeft);
  // A run starts: its name (GBK: 检索, 下载) goes to the status bar with where it stands,
  // and the bars start empty.
  void RunStarting(const std::string& activity);
  // Where the main window hears what each dialog's run is doing: the hand-over, and the
  // text ("" once the run has ended). Set once.
  static void SetStatusHook(std::function<void(const void* run, const QString& text)> hook);

 private:
  // Runs step on the main thread and waits for it; directly when already there.
  void OnMainThread(const std::function<void()>& step);

  QPlainTextEdit* memo_;
  QAbstractButton* startButton_;
  QAbstractButton* resultButton_;
  // Runs on the main thread when the run hands its end over.
  void Ended();

  std::function<std::string()> endReason_;
  QProgressBar* recordsBar_ = nullptr;
  QProgressBar* pagesBar_ = nullptr;
  QLabel* timeLeft_ = nullptr;
  std::string activity_;
  int runStart_ = 0;  // where the run's lines begin in the memo
};
