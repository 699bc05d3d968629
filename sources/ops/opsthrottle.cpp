#include "sources/ops/opsthrottle.h"

#include <algorithm>
#include <thread>

#include "base/bytes.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::microseconds;

const char* const kServiceNames[kOpsServiceCount] = {"search", "retrieval", "images", "inpadoc", "other"};

// What OPS announces when busy: the pace before the first reply says otherwise.
const int kStartLimits[kOpsServiceCount] = {15, 100, 100, 45, 1000};

constexpr std::chrono::seconds kWindow{60};
constexpr milliseconds kBlackWithoutRetryAfter{60000};
constexpr milliseconds kLongestSleep{1000};
constexpr int64_t kLongestRetryAfterMs = 24LL * 3600 * 1000;

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Trimmed(const std::string& s) { return TrimBytes(s); }

TOpsColour ColourOf(const std::string& word) {
  if (word == "green") return TOpsColour::Green;
  if (word == "yellow") return TOpsColour::Yellow;
  if (word == "red") return TOpsColour::Red;
  if (word == "black") return TOpsColour::Black;
  return TOpsColour::Unknown;
}

TOpsSystemState StateOf(const std::string& word) {
  if (word == "idle") return TOpsSystemState::Idle;
  if (word == "busy") return TOpsSystemState::Busy;
  if (word == "overloaded") return TOpsSystemState::Overloaded;
  return TOpsSystemState::Unknown;
}

int ServiceIndex(const std::string& name) {
  for (size_t i = 0; i < kOpsServiceCount; ++i)
    if (name == kServiceNames[i]) return static_cast<int>(i);
  return -1;
}

// "images=green:200" into the service's entry, the more negative reading winning.
void ReadItem(const std::string& item, TOpsThrottling& t) {
  const size_t eq = item.find('=');
  if (eq == std::string::npos) return;
  const int index = ServiceIndex(Trimmed(item.substr(0, eq)));
  if (index < 0) return;
  std::string rest = item.substr(eq + 1);
  std::string colourWord = rest, limitWord;
  if (size_t colon = rest.find(':'); colon != std::string::npos) {
    colourWord = rest.substr(0, colon);
    limitWord = Trimmed(rest.substr(colon + 1));
  }
  TOpsServiceThrottle& s = t.services[index];
  const TOpsColour colour = ColourOf(Trimmed(colourWord));
  s.colour = std::max(s.colour, colour);
  int64_t limit = 0;
  // A black service's 0 is no limit: it is suspended, which its colour says.
  if (colour != TOpsColour::Black && ReadDecimal(limitWord, limit) && limit > 0) {
    const int bounded = static_cast<int>(std::min<int64_t>(limit, 1000000));
    s.limit = s.limit < 0 ? bounded : std::min(s.limit, bounded);
  }
}

}  // namespace

const char* ServiceName(TOpsService service) { return kServiceNames[static_cast<size_t>(service)]; }

TOpsService ServiceOfPath(const std::string& path) {
  std::string p = path.substr(0, path.find_first_of("?#"));
  if (size_t v = p.find("/3.2/"); v != std::string::npos) p.erase(0, v + 5);
  while (StartsWith(p, "/")) p.erase(0, 1);
  if (StartsWith(p, "rest-services/")) p.erase(0, 14);
  if (StartsWith(p, "published-data/search")) return TOpsService::Search;
  if (StartsWith(p, "published-data/images/") || StartsWith(p, "classification/cpc/media/"))
    return TOpsService::Images;
  if (StartsWith(p, "published-data/")) return TOpsService::Retrieval;
  if (StartsWith(p, "family/") || StartsWith(p, "legal/")) return TOpsService::Inpadoc;
  return TOpsService::Other;
}

TOpsThrottling ReadThrottlingControl(const std::string& value) {
  TOpsThrottling t;
  const std::string text = Lower(value);
  size_t at = 0;
  while (at < text.size()) {
    const size_t open = text.find('(', at);
    // The word before the group names the system's state.
    std::string head = text.substr(at, open == std::string::npos ? std::string::npos : open - at);
    for (char& c : head)
      if (c == ',') c = ' ';
    head = Trimmed(head);
    if (size_t blank = head.find_last_of(" \t"); blank != std::string::npos) head.erase(0, blank + 1);
    t.state = std::max(t.state, StateOf(head));
    if (open == std::string::npos) break;
    const size_t close = text.find(')', open);
    const std::string group = text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    for (const std::string& item : SplitAt(group, ',')) ReadItem(item, t);
    if (close == std::string::npos) break;
    at = close + 1;
  }
  return t;
}

int64_t ReadRetryAfterMs(const std::string& value) {
  int64_t ms = 0;
  if (!ReadDecimal(Trimmed(value), ms) || ms < 0) return -1;
  return std::min(ms, kLongestRetryAfterMs);
}

TOpsQuota ReadQuotaHeaders(const std::string& hourValue, const std::string& weekValue) {
  auto bytes = [](const std::string& v) {
    int64_t n = 0;
    return ReadDecimal(Trimmed(v), n) && n >= 0 ? n : -1;
  };
  return {bytes(hourValue), bytes(weekValue)};
}

TOpsRejection ReadRejectionReason(const std::string& value) {
  const std::string reason = Lower(Trimmed(value));
  if (reason.empty()) return TOpsRejection::None;
  if (reason == "individualquotaperhour") return TOpsRejection::HourlyQuota;
  if (reason == "registeredquotaperweek" || reason == "registeredpayingquotaperweek")
    return TOpsRejection::WeeklyQuota;
  return TOpsRejection::Other;
}

TOpsPacer::TOpsPacer()
    : TOpsPacer(std::chrono::steady_clock::now, [](milliseconds d) { std::this_thread::sleep_for(d); }) {}

TOpsPacer::TOpsPacer(TClock clock, TSleep sleep) : clock_(std::move(clock)), sleep_(std::move(sleep)) {
  for (size_t i = 0; i < kOpsServiceCount; ++i) states_[i].lastLimit = kStartLimits[i];
}

void TOpsPacer::ForgetOldLocked(TState& state, TTime now) {
  while (!state.sent.empty() && state.sent.front() <= now - kWindow) state.sent.pop_front();
  while (!state.heard.empty() && state.heard.front().at <= now - kWindow) state.heard.pop_front();
}

TOpsPacer::TTime TOpsPacer::EarliestLocked(TOpsService service, TTime now) const {
  const TState& state = states_[static_cast<size_t>(service)];
  int limit = -1;
  TOpsColour colour = TOpsColour::Unknown;
  for (const TAnnouncement& a : state.heard) {
    if (a.at <= now - kWindow) continue;
    if (a.limit > 0) limit = limit < 0 ? a.limit : std::min(limit, a.limit);
    colour = std::max(colour, a.colour);
  }
  if (limit < 0) limit = state.lastLimit;
  TTime earliest = state.blockedUntil;
  if (state.sent.size() >= static_cast<size_t>(limit))
    earliest = std::max(earliest, state.sent[state.sent.size() - limit] + kWindow);
  if (!state.sent.empty()) {
    const double widen = colour >= TOpsColour::Red ? 1.06 : colour == TOpsColour::Yellow ? 1.03 : 1.0;
    const auto interval = microseconds(static_cast<int64_t>(60e6 / limit * widen));
    earliest = std::max(earliest, state.sent.back() + interval);
  }
  return earliest;
}

TOpsPacer::TTime TOpsPacer::Acquire(TOpsService service, const TOnWait& onWait) {
  TTime announcedEnd{};
  for (;;) {
    const TTime now = clock_();
    TTime earliest;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      earliest = EarliestLocked(service, now);
      if (earliest <= now) {
        TState& state = states_[static_cast<size_t>(service)];
        ForgetOldLocked(state, now);
        state.sent.push_back(now);
        return now;
      }
    }
    const auto wait = std::chrono::ceil<milliseconds>(earliest - now);
    if (onWait && earliest > announcedEnd) {
      onWait(wait);
      // Shifts of a few milliseconds as other jobs go first are not worth telling.
      announcedEnd = earliest + std::chrono::seconds(1);
    }
    sleep_(std::min(wait, kLongestSleep));
  }
}

void TOpsPacer::Observe(TOpsService sentTo, const TOpsThrottling& throttling, int64_t retryAfterMs, bool refused) {
  const TTime now = clock_();
  const milliseconds retry = retryAfterMs >= 0 ? milliseconds(retryAfterMs) : kBlackWithoutRetryAfter;
  std::lock_guard<std::mutex> lock(mutex_);
  for (size_t i = 0; i < kOpsServiceCount; ++i) {
    TState& state = states_[i];
    const TOpsServiceThrottle& heard = throttling.services[i];
    ForgetOldLocked(state, now);
    if (heard.limit > 0 || heard.colour != TOpsColour::Unknown) state.heard.push_back({now, heard.limit, heard.colour});
    if (heard.limit > 0) state.lastLimit = heard.limit;
    if (heard.colour == TOpsColour::Black || (refused && i == static_cast<size_t>(sentTo)))
      state.blockedUntil = std::max(state.blockedUntil, now + retry);
  }
}

std::chrono::milliseconds TOpsPacer::WaitFor(TOpsService service) const {
  const TTime now = clock_();
  std::lock_guard<std::mutex> lock(mutex_);
  const TTime earliest = EarliestLocked(service, now);
  return earliest <= now ? milliseconds(0) : std::chrono::ceil<milliseconds>(earliest - now);
}
