#include "shell/qthandover.h"

#include <QAbstractButton>
#include <QMetaObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QThread>

#include "shell/qttext.h"

#include <algorithm>

QtHandOver::QtHandOver(QPlainTextEdit* memo, QAbstractButton* startButton,
                       QAbstractButton* resultButton)
    : memo_(memo), startButton_(startButton), resultButton_(resultButton) {}

namespace {

std::function<void(const void*, const QString&)>& StatusHook() {
  static std::function<void(const void*, const QString&)> hook;
  return hook;
}

void ShowStatus(const void* run, const QString& text) {
  if (StatusHook()) StatusHook()(run, text);
}

void ShowOnBar(QProgressBar* bar, long done, long total) {
  if (!bar) return;
  bar->setRange(0, int(std::max(1L, total)));
  bar->setValue(int(std::min(done, std::max(1L, total))));
}

}  // namespace

void QtHandOver::SetStatusHook(std::function<void(const void*, const QString&)> hook) {
  StatusHook() = std::move(hook);
}

void QtHandOver::SetStandingView(QProgressBar* records, QProgressBar* pages, QLabel* timeLeft) {
  recordsBar_ = records;
  pagesBar_ = pages;
  timeLeft_ = timeLeft;
}

void QtHandOver::RunStarting(const std::string& activity) {
  activity_ = activity;
  ShowOnBar(recordsBar_, 0, 1);
  ShowOnBar(pagesBar_, 0, 1);
  if (timeLeft_) timeLeft_->clear();
  ShowStatus(this, QtText(activity_));
}

void QtHandOver::ShowStanding(const TRunStanding& standing) {
  OnMainThread([this, standing] {
    ShowOnBar(recordsBar_, standing.records, standing.recordsTotal);
    if (standing.pagesTotal > 0) ShowOnBar(pagesBar_, standing.pages, standing.pagesTotal);
    const QString left = QtText(TimeLeftText(standing.secondsLeft));
    if (timeLeft_) timeLeft_->setText(left);
    ShowStatus(this, QtText(activity_ + StandingText(standing.records, standing.recordsTotal, -1)) +
               (left.isEmpty() ? QString() : QStringLiteral(" ") + left));
  });
}

void QtHandOver::OnMainThread(const std::function<void()>& step) {
  // A blocking queued call onto one's own thread would wait for itself for ever.
  if (QThread::currentThread() == memo_->thread()) {
    step();
    return;
  }
  QMetaObject::invokeMethod(memo_, step, Qt::BlockingQueuedConnection);
}

void QtHandOver::AddEndReason(std::function<std::string()> reason) {
  endReason_ = std::move(reason);
  runStart_ = memo_->toPlainText().size();
}

void QtHandOver::Ended() {
  ShowStatus(this, QString());
  if (timeLeft_) timeLeft_->clear();
  if (!endReason_) return;
  const QString reason = QtText(endReason_());
  if (!reason.isEmpty() && !memo_->toPlainText().mid(runStart_).contains(reason)) memo_->appendPlainText(reason);
}

void QtHandOver::ShowProgress(const std::string& line) {
  QString text = QtText(line);
  OnMainThread([this, &text] { memo_->appendPlainText(text); });
}

void QtHandOver::FinishRun() {
  OnMainThread([this] {
    Ended();
    startButton_->setEnabled(true);
    // The result button is hidden; click() still runs its handler as a user's click would.
    resultButton_->click();
  });
}

void QtHandOver::GiveStartBack() {
  OnMainThread([this] {
    Ended();
    startButton_->setEnabled(true);
  });
}
