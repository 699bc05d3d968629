#include "download/requestgate.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <thread>

#include "base/bytes.h"
#include "download/downtexts.h"
#include "http/cookies.h"
#include "http/netexceptions.h"

namespace {

constexpr double kMaxWaitSeconds = 120;

// Seconds with one decimal: a wait of 1.13 s shows as 1.1.
std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", s);
  return buf;
}

}  // namespace

TRequestGate::TRequestGate(int retries, int delayMs, std::function<void(const std::string&)> onWait)
    : retries_(std::max(0, retries)), delay_(std::max(0, delayMs)), onWait_(std::move(onWait)) {}

void TRequestGate::Pace() {
  if (delay_.count() == 0) return;
  std::chrono::steady_clock::time_point start;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    start = std::max(nextStart_, std::chrono::steady_clock::now());
    nextStart_ = start + delay_;
  }
  std::this_thread::sleep_until(start);
}

double TRequestGate::NextWaitSeconds(const std::exception& failure, int retry) {
  if (auto* reply = dynamic_cast<const ENetHTTPProtocolException*>(&failure)) {
    double asked = RetryAfterSeconds(reply->RetryAfter);
    if (asked >= 0) return std::min(asked, kMaxWaitSeconds);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  double base = double(1 << std::min(retry, 6));
  return std::min(kMaxWaitSeconds, base * (1 + std::uniform_real_distribution<double>(0, 0.2)(random_)));
}

void TRequestGate::Run(const std::string& what, const std::function<void()>& attempt) {
  for (int retry = 0;; ++retry) {
    Pace();
    try {
      attempt();
      return;
    } catch (const std::exception& e) {
      if (retry >= retries_ || !IsPassingFailure(e)) throw;
      double wait = NextWaitSeconds(e, retry);
      if (onWait_)
        onWait_(what + gatetext::kFailedOpen + e.what() + gatetext::kFailedClose + Seconds(wait) +
                gatetext::kRetryAfter + std::to_string(retry + 1) + "/" + std::to_string(retries_) + ")");
      std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    }
  }
}

bool IsPassingFailure(const std::exception& failure) {
  if (auto* reply = dynamic_cast<const ENetHTTPProtocolException*>(&failure))
    return reply->StatusCode >= 500 || reply->StatusCode == 429 || reply->StatusCode == 408;
  return dynamic_cast<const ENetSocketError*>(&failure) || dynamic_cast<const ENetReadTimeout*>(&failure) ||
         dynamic_cast<const ENetConnectTimeout*>(&failure) ||
         dynamic_cast<const ENetConnClosedGracefully*>(&failure);
}

double RetryAfterSeconds(const std::string& value) {
  const std::string v = TrimBytes(value);
  if (v.empty()) return -1;
  int64_t seconds = 0;
  if (ReadDecimal(v, seconds)) return seconds < 0 ? -1 : double(seconds);
  std::time_t when = 0;
  if (!ParseInternetDate(v, when)) return -1;
  return std::max(0.0, std::difftime(when, std::time(nullptr)));
}
