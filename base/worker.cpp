#include "worker.h"

#include <chrono>
#include <thread>

void TWorkerFamily::Start(std::function<void()> body) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++live_;
  }
  try {
    std::thread([this, body = std::move(body)] {
      struct CountOut {
        TWorkerFamily* family;
        ~CountOut() { family->Ended(); }
      } countOut{this};
      body();
    }).detach();
  } catch (...) {
    Ended();
    throw;
  }
}

void TWorkerFamily::Ended() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--live_ == 0) idle_.notify_all();
}

bool TWorkerFamily::WaitAll(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto none = [this] { return live_ == 0; };
  if (timeoutMs < 0) {
    idle_.wait(lock, none);
    return true;
  }
  return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), none);
}

int TWorkerFamily::Live() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return live_;
}
