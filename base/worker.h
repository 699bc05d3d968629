#pragma once
#include <condition_variable>
#include <functional>
#include <mutex>

// The workers of one kind (search runs, download runs, update checks). Each runs on a
// thread of its own and owns itself; the family counts the live ones, so that a program
// can wait for them before it leaves, and holds the run lock that keeps runs of the kind
// apart.
class TWorkerFamily {
 public:
  // Starts body on a new thread and counts it live until body has returned. When no
  // thread can be started, nothing is counted and std::system_error is raised: there is
  // no run to wait for.
  void Start(std::function<void()> body);
  // Waits until no worker of the family is live; false when timeoutMs passed first. A
  // negative limit waits for good.
  bool WaitAll(int timeoutMs = -1);
  int Live() const;
  // Held for a whole run, so runs of one kind never overlap.
  std::mutex& RunLock() { return runLock_; }

 private:
  void Ended();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int live_ = 0;
  std::mutex runLock_;
};

// The family of a worker class. Never destroyed: a detached worker may still release the
// run lock or count itself out while the process runs its static destructors.
template <class Worker>
TWorkerFamily& FamilyOf() {
  static TWorkerFamily* family = new TWorkerFamily;
  return *family;
}
