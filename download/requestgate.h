#pragma once
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <random>
#include <string>

// How the requests of one download run go out. Requests start at least delayMs apart,
// across every job of the run; a request that fails for a passing reason (no connection,
// a time-out, a 5xx, 408 or 429 reply) is tried again up to `retries` times, after 1 s, 2 s,
// 4 s, ... (plus up to 20 % at random, so that clients do not come back in step) or after
// the seconds the reply's Retry-After asks for (at most 120 s). Each wait is announced
// through onWait first. The defaults send every request once, at once.
class TRequestGate {
 public:
  TRequestGate() = default;
  TRequestGate(int retries, int delayMs, std::function<void(const std::string& gbkLine)> onWait);

  // Runs attempt, which makes the request once, under these rules; `what` (GBK) names the
  // request in the wait line. The last failure reaches the caller.
  void Run(const std::string& what, const std::function<void()>& attempt);

 private:
  void Pace();
  double NextWaitSeconds(const std::exception& failure, int retry);

  int retries_ = 0;
  std::chrono::milliseconds delay_{0};
  std::function<void(const std::string&)> onWait_;
  std::mutex mutex_;
  std::chrono::steady_clock::time_point nextStart_{};
  std::mt19937 random_{std::random_device{}()};
};

// Whether a request's failure may pass if the request is sent again.
bool IsPassingFailure(const std::exception& failure);

// The seconds a Retry-After value asks for: delta-seconds or an HTTP date; -1 when it
// says nothing readable.
double RetryAfterSeconds(const std::string& value);
