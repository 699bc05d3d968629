#include "shell/qthandover.h"

#include <QAbstractButton>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QThread>

#include "shell/qttext.h"

QtHandOver::QtHandOver(QPlainTextEdit* memo, QAbstractButton* startButton,
                       QAbstractButton* resultButton)
    : memo_(memo), startButton_(startButton), resultButton_(resultButton) {}

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
