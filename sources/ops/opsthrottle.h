#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

// OPS's fair-use rules as its replies announce them, and the pacing that keeps a run
// inside them: every job of a run shares one TOpsPacer.

// The services OPS throttles separately.
enum class TOpsService { Search, Retrieval, Images, Inpadoc, Other };
constexpr size_t kOpsServiceCount = 5;

// "search", "retrieval", "images", "inpadoc", "other": the names the header uses.
const char* ServiceName(TOpsService service);

// The service a request counts against, from its path below "/3.2/" (as opspaths gives
// it) or its whole URL: published-data/search is search, published-data/images (the page
// fetch) is images, the rest of published-data (the image inquiry too) is retrieval,
// family and legal are inpadoc, everything else (the token too) is other.
TOpsService ServiceOfPath(const std::string& path);

enum class TOpsColour { Unknown, Green, Yellow, Red, Black };
enum class TOpsSystemState { Unknown, Idle, Busy, Overloaded };

struct TOpsServiceThrottle {
  TOpsColour colour = TOpsColour::Unknown;
  int limit = -1;  // requests per 60 s; -1 when not announced (a black service's 0 too)
};

struct TOpsThrottling {
  TOpsSystemState state = TOpsSystemState::Unknown;
  std::array<TOpsServiceThrottle, kOpsServiceCount> services{};
  const TOpsServiceThrottle& Of(TOpsService s) const { return services[static_cast<size_t>(s)]; }
  TOpsServiceThrottle& Of(TOpsService s) { return services[static_cast<size_t>(s)]; }
};

// Reads X-Throttling-Control, e.g. "idle (images=green:200, inpadoc=green:60, ...)".
// Never throws: unknown services, missing parts and extra blanks are passed over. OPS has
// been seen to send the header twice in one ("idle (...), idle (...)"); repeated header
// lines may be joined with ", " the same way. The most negative reading of each part
// wins: the worst state and colour, the lowest limit.
TOpsThrottling ReadThrottlingControl(const std::string& value);

// Retry-After as OPS sends it: milliseconds. -1 when absent or not a number; at most a day.
int64_t ReadRetryAfterMs(const std::string& value);

// X-IndividualQuotaPerHour-Used and X-RegisteredQuotaPerWeek-Used: bytes; -1 when absent
// or unreadable.
struct TOpsQuota {
  int64_t hourUsed = -1;
  int64_t weekUsed = -1;
};
TOpsQuota ReadQuotaHeaders(const std::string& hourValue, const std::string& weekValue);

// A 403's X-Rejection-Reason: the hourly or the weekly quota is used up, or another
// refusal (a blocked account, say). None when the header is absent or empty.
enum class TOpsRejection { None, HourlyQuota, WeeklyQuota, Other };
TOpsRejection ReadRejectionReason(const std::string& value);

// The pace of one run's requests, per service. Rules: never more requests of a service
// in any 60 s than the lowest limit announced for it in the last 60 s (before the first
// announcement, the limits OPS announces when busy); requests spread evenly over the
// window, a little wider on yellow and red, since the server counts arrivals and a
// request delayed on the way could otherwise tip its window over; nothing to a service
// that went black (or answered 429) until its Retry-After has passed (60 s when it gave
// none), and paced as on red while the black reply is under a minute old. Thread-safe;
// the clock and the sleep are injectable for tests.
class TOpsPacer {
 public:
  using TTime = std::chrono::steady_clock::time_point;
  using TClock = std::function<TTime()>;
  // May throw to abandon a wait (a run being stopped); nothing is counted then.
  using TSleep = std::function<void(std::chrono::milliseconds)>;
  using TOnWait = std::function<void(std::chrono::milliseconds)>;

  TOpsPacer();
  TOpsPacer(TClock clock, TSleep sleep);

  // Waits until a request of the service may go and counts it as sent; returns when.
  // onWait (may be empty) hears how long the wait will be before it starts, and again
  // when a reply meanwhile makes it longer.
  TTime Acquire(TOpsService service, const TOnWait& onWait = {});

  // What a reply said: its throttling header, and its Retry-After (ms, -1 when none).
  // refused: the reply refused the request for the pace (a 429, or a 403 with the
  // service black), which blocks the service it was sent to even when the header does
  // not show it black.
  void Observe(TOpsService sentTo, const TOpsThrottling& throttling, int64_t retryAfterMs, bool refused);

  // How long a request of the service would wait now.
  std::chrono::milliseconds WaitFor(TOpsService service) const;

 private:
  struct TAnnouncement {
    TTime at;
    int limit;
    TOpsColour colour;
  };
  struct TState {
    std::deque<TTime> sent;  // the last 60 s
    std::deque<TAnnouncement> heard;  // the last 60 s
    int lastLimit;
    TTime blockedUntil{};
  };

  TTime EarliestLocked(TOpsService service, TTime now) const;
  void ForgetOldLocked(TState& state, TTime now);

  TClock clock_;
  TSleep sleep_;
  mutable std::mutex mutex_;
  std::array<TState, kOpsServiceCount> states_;
};
