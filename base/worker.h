#pragma once
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

// The workers of one kind (search runs, download runs, update checks). Each runs on a
// thread of its own and owns itself; the family keeps the threads, so that a program can
// wait for them to have ended before it leaves, and holds the run lock that keeps runs of
// the kind apart.
class TWorkerFamily {
 public:
  // Starts body on a new thread and counts it live until the thread has ended. When no
  // thread can be started, nothing is counted and std::system_error is raised: there is
  // no run to wait for.
  void Start(std::function<void()> body);
  // Waits until no worker of the family is live and every thread it started has been
  // joined (a thread's own exit handlers, such as the TLS library's, have run then);
  // false when timeoutMs passed first. A negative limit waits for good.
  bool WaitAll(int timeoutMs = -1);
  int Live() const;
  // Held for a whole run, so runs of one kind never overlap.
  std::mutex& RunLock() { return runLock_; }

 private:
  struct TWorker {
    std::thread thread;
    bool ended = false;  // its body has returned: joining it waits only for its exit
  };
  // Joins the threads whose bodies have returned; the caller holds joinMutex_.
  void JoinEnded();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  int live_ = 0;
  std::list<TWorker> workers_;  // stable addresses: each thread marks its own entry
  std::mutex joinMutex_;        // one joiner at a time
  std::mutex runLock_;
};

// The family of a worker class. Never destroyed: a program may leave (the desktop ends
// its process at once) while a worker still holds the run lock.
template <class Worker>
TWorkerFamily& FamilyOf() {
  static TWorkerFamily* family = new TWorkerFamily;
  return *family;
}
