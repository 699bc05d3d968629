#include "handover.h"

void DirectHandOver::ShowProgress(const std::string& line) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
  }
  if (onProgress) onProgress(line);
}

void DirectHandOver::FinishRun() {
  if (onFinish) onFinish();
  std::lock_guard<std::mutex> lock(mutex_);
  ++finishCount_;
  ended_.notify_all();
}

void DirectHandOver::GiveStartBack() {
  if (onStartBack) onStartBack();
  std::lock_guard<std::mutex> lock(mutex_);
  ++startBackCount_;
  ended_.notify_all();
}

std::vector<std::string> DirectHandOver::Lines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lines_;
}

int DirectHandOver::FinishCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finishCount_;
}

int DirectHandOver::StartBackCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return startBackCount_;
}

void DirectHandOver::WaitForEnd() const {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_.wait(lock, [this] { return finishCount_ + startBackCount_ > 0; });
}
