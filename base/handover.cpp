#include "handover.h"

#include <algorithm>
#include <cmath>

#include "base/basetexts.h"

long SecondsLeft(double spentSeconds, long done, long total) {
  if (done <= 0) return -1;
  return std::lround(spentSeconds * double(std::max(0L, total - done)) / double(done));
}

std::string TimeLeftText(long left) {
  using namespace handovertext;
  if (left < 0) return {};
  return kTimeLeftA + (left >= 120 ? std::to_string((left + 59) / 60) + kTimeLeftMinutes
                                   : std::to_string(left) + kTimeLeftSeconds);
}

std::string StandingText(long k, long n, long secondsLeft) {
  return " " + std::to_string(k) + "/" + std::to_string(n) +
         (secondsLeft < 0 ? std::string() : handovertext::kTimeLeftComma + TimeLeftText(secondsLeft));
}

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
