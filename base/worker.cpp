#include "worker.h"

#include <chrono>

void TWorkerFamily::Start(std::function<void()> body) {
  // The threads of runs that have ended go first: a long session must not gather them.
  {
    std::lock_guard<std::mutex> join(joinMutex_);
    JoinEnded();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  TWorker& worker = workers_.emplace_back();
  try {
    worker.thread = std::thread([this, &worker, body = std::move(body)] {
      struct CountOut {
        TWorkerFamily* family;
        TWorker& worker;
        ~CountOut() {
          std::lock_guard<std::mutex> lock(family->mutex_);
          worker.ended = true;
          if (--family->live_ == 0) family->idle_.notify_all();
        }
      } countOut{this, worker};
      body();
    });
  } catch (...) {
    workers_.pop_back();
    throw;
  }
  ++live_;
}

void TWorkerFamily::JoinEnded() {
  std::list<TWorker> ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto at = it++;
      if (at->ended) ended.splice(ended.end(), workers_, at);
    }
  }
  for (TWorker& w : ended) w.thread.join();
}

bool TWorkerFamily::WaitAll(int timeoutMs) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto none = [this] { return live_ == 0; };
    if (timeoutMs < 0)
      idle_.wait(lock, none);
    else if (!idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), none))
      return false;
  }
  std::lock_guard<std::mutex> join(joinMutex_);
  JoinEnded();
  return true;
}

int TWorkerFamily::Live() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return live_;
}
