// The fair-use headers and the pace they set, on a clock the test drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sources/ops/opsthrottle.h"

namespace {

using std::chrono::milliseconds;
using TTime = TOpsPacer::TTime;

TEST(ReadThrottlingControl, RealHeadersAndTheirOddForms) {
  const TOpsThrottling idle = ReadThrottlingControl(
      "idle (images=green:200, inpadoc=green:60, other=green:1000, retrieval=green:200, search=green:30)");
  EXPECT_EQ(idle.state, TOpsSystemState::Idle);
  const std::pair<TOpsService, int> limits[] = {{TOpsService::Images, 200},   {TOpsService::Inpadoc, 60},
                                                {TOpsService::Other, 1000},   {TOpsService::Retrieval, 200},
                                                {TOpsService::Search, 30}};
  for (const auto& [service, limit] : limits) {
    EXPECT_EQ(idle.Of(service).colour, TOpsColour::Green) << ServiceName(service);
    EXPECT_EQ(idle.Of(service).limit, limit) << ServiceName(service);
  }

  const TOpsThrottling black = ReadThrottlingControl("busy (images=black:0, inpadoc=green:45, search=green:15)");
  EXPECT_EQ(black.state, TOpsSystemState::Busy);
  EXPECT_EQ(black.Of(TOpsService::Images).colour, TOpsColour::Black);
  EXPECT_EQ(black.Of(TOpsService::Images).limit, -1);
  EXPECT_EQ(black.Of(TOpsService::Retrieval).colour, TOpsColour::Unknown);

  // The header twice in one: the most negative reading of each part wins.
  const TOpsThrottling twice = ReadThrottlingControl(
      "idle (images=green:200, search=green:30), overloaded (images=yellow:50, search=green:5, other=red:900)");
  EXPECT_EQ(twice.state, TOpsSystemState::Overloaded);
  EXPECT_EQ(twice.Of(TOpsService::Images).colour, TOpsColour::Yellow);
  EXPECT_EQ(twice.Of(TOpsService::Images).limit, 50);
  EXPECT_EQ(twice.Of(TOpsService::Search).limit, 5);
  EXPECT_EQ(twice.Of(TOpsService::Other).colour, TOpsColour::Red);

  const TOpsThrottling odd = ReadThrottlingControl(
      "  IDLE  ( images = Green : 200 ,foo=green:5, search=:10, retrieval=purple:77, inpadoc=green:abc, other=red:-4");
  EXPECT_EQ(odd.state, TOpsSystemState::Idle);
  EXPECT_EQ(odd.Of(TOpsService::Images).colour, TOpsColour::Green);
  EXPECT_EQ(odd.Of(TOpsService::Images).limit, 200);
  EXPECT_EQ(odd.Of(TOpsService::Search).colour, TOpsColour::Unknown);
  EXPECT_EQ(odd.Of(TOpsService::Search).limit, 10);
  EXPECT_EQ(odd.Of(TOpsService::Retrieval).limit, 77);
  EXPECT_EQ(odd.Of(TOpsService::Inpadoc).limit, -1);
  EXPECT_EQ(odd.Of(TOpsService::Other).colour, TOpsColour::Red);
  EXPECT_EQ(odd.Of(TOpsService::Other).limit, -1);

  for (const char* garbage : {"", "(((", ")", "idle", "=:,()", "busy (images=green:99999999999999999999)"}) {
    const TOpsThrottling t = ReadThrottlingControl(garbage);
    EXPECT_EQ(t.Of(TOpsService::Images).limit, -1) << garbage;
  }
  EXPECT_EQ(ReadThrottlingControl("idle").state, TOpsSystemState::Idle);
}

TEST(FairUseHeaders, RetryAfterQuotasRejectionsAndServices) {
  EXPECT_EQ(ReadRetryAfterMs("60000"), 60000);
  EXPECT_EQ(ReadRetryAfterMs(" 1500 "), 1500);
  EXPECT_EQ(ReadRetryAfterMs("999999999999"), 24LL * 3600 * 1000);
  for (const char* bad : {"", "abc", "-5", "1.5", "Wed, 21 Oct 2015 07:28:00 GMT", "99999999999999999999"})
    EXPECT_EQ(ReadRetryAfterMs(bad), -1) << bad;

  const TOpsQuota q = ReadQuotaHeaders("708285", "");
  EXPECT_EQ(q.hourUsed, 708285);
  EXPECT_EQ(q.weekUsed, -1);
  EXPECT_EQ(ReadQuotaHeaders("x", " 12 ").weekUsed, 12);

  EXPECT_EQ(ReadRejectionReason("IndividualQuotaPerHour"), TOpsRejection::HourlyQuota);
  EXPECT_EQ(ReadRejectionReason(" registeredquotaperweek "), TOpsRejection::WeeklyQuota);
  EXPECT_EQ(ReadRejectionReason("DeveloperBlocked"), TOpsRejection::Other);
  EXPECT_EQ(ReadRejectionReason(""), TOpsRejection::None);

  const std::pair<const char*, TOpsService> paths[] = {
      {"rest-services/published-data/search/biblio?q=ti%3Dx&Range=1-100", TOpsService::Search},
      {"https://ops.epo.org/3.2/rest-services/published-data/search?q=a", TOpsService::Search},
      {"rest-services/published-data/images/CN/101911042/B/fullimage.tiff?Range=3", TOpsService::Images},
      {"rest-services/published-data/publication/docdb/CN.101911042.B/images", TOpsService::Retrieval},
      {"/3.2/rest-services/published-data/application/docdb/CN.201710601862.A/biblio", TOpsService::Retrieval},
      {"rest-services/legal/publication/docdb/CN.101911042.B", TOpsService::Inpadoc},
      {"rest-services/family/publication/docdb/CN.101911042.B", TOpsService::Inpadoc},
      {"rest-services/number-service/application/original/CN.(201710601862.3)/docdb", TOpsService::Other},
      {"auth/accesstoken", TOpsService::Other},
  };
  for (const auto& [path, service] : paths) EXPECT_EQ(ServiceOfPath(path), service) << path;
}

// A clock that moves only when someone sleeps on it.
class FakeTime {
 public:
  TOpsPacer::TClock Clock() {
    return [this] {
      std::lock_guard<std::mutex> lock(mutex_);
      return now_;
    };
  }
  TOpsPacer::TSleep Sleep() {
    return [this](milliseconds d) {
      std::lock_guard<std::mutex> lock(mutex_);
      now_ += d;
    };
  }
  void Advance(milliseconds d) { Sleep()(d); }
  TTime Now() { return Clock()(); }

 private:
  std::mutex mutex_;
  TTime now_ = TTime(std::chrono::hours(1));
};

TOpsThrottling Heard(const std::string& header) { return ReadThrottlingControl(header); }

// The most requests that any 60 s window of the times holds.
size_t BusiestMinute(std::vector<TTime> times) {
  std::sort(times.begin(), times.end());
  size_t most = 0;
  for (size_t i = 0, j = 0; i < times.size(); ++i) {
    while (times[i] - times[j] >= std::chrono::seconds(60)) ++j;
    most = std::max(most, i - j + 1);
  }
  return most;
}

TEST(TOpsPacer, SpreadsRequestsEvenlyAndNeverPassesTheLimit) {
  FakeTime time;
  TOpsPacer pacer(time.Clock(), time.Sleep());
  pacer.Observe(TOpsService::Images, Heard("idle (images=green:200)"), -1, false);
  std::vector<TTime> sent;
  for (int i = 0; i < 500; ++i) sent.push_back(pacer.Acquire(TOpsService::Images));
  EXPECT_EQ(BusiestMinute(sent), 200u);
  for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i] - sent[i - 1], milliseconds(300));
  // Other services keep their own pace.
  EXPECT_EQ(pacer.WaitFor(TOpsService::Search), milliseconds(0));
}

TEST(TOpsPacer, TheLowestLimitOfTheLastMinuteRulesAndYellowAndRedWiden) {
  FakeTime time;
  TOpsPacer pacer(time.Clock(), time.Sleep());
  pacer.Observe(TOpsService::Images, Heard("idle (images=green:200)"), -1, false);
  std::vector<TTime> sent;
  for (int i = 0; i < 150; ++i) sent.push_back(pacer.Acquire(TOpsService::Images));
  const TTime drop = time.Now();
  pacer.Observe(TOpsService::Images, Heard("busy (images=green:100)"), -1, false);
  // 150 were sent in the last 45 s: the next waits until fewer than 100 remain in the window.
  EXPECT_GT(pacer.WaitFor(TOpsService::Images), milliseconds(14000));
  pacer.Observe(TOpsService::Images, Heard("idle (images=green:200)"), -1, false);
  std::vector<TTime> after;
  for (int i = 0; i < 150; ++i) after.push_back(pacer.Acquire(TOpsService::Images));
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] - drop >= std::chrono::seconds(60)) break;
    std::vector<TTime> window;
    for (TTime t : sent) window.push_back(t);
    for (size_t k = 0; k <= i; ++k) window.push_back(after[k]);
    std::erase_if(window, [&](TTime t) { return after[i] - t >= std::chrono::seconds(60); });
    EXPECT_LE(window.size(), 100u) << i;
  }
  // Once the busy announcement is a minute old, the pace of 200 is back.
  EXPECT_EQ(after.back() - after[after.size() - 2], milliseconds(300));

  pacer.Observe(TOpsService::Images, Heard("idle (images=yellow:200)"), -1, false);
  const TTime y = pacer.Acquire(TOpsService::Images);
  EXPECT_EQ(pacer.Acquire(TOpsService::Images) - y, milliseconds(309));
  pacer.Observe(TOpsService::Images, Heard("idle (images=red:200)"), -1, false);
  const TTime r = pacer.Acquire(TOpsService::Images);
  EXPECT_EQ(pacer.Acquire(TOpsService::Images) - r, milliseconds(318));
}

TEST(TOpsPacer, BlackAndRefusedServicesWaitForRetryAfterAndSayHowLong) {
  FakeTime time;
  TOpsPacer pacer(time.Clock(), time.Sleep());
  pacer.Acquire(TOpsService::Images);
  const TTime black = time.Now();
  pacer.Observe(TOpsService::Images, Heard("busy (images=black:0, search=green:15)"), 5000, false);
  EXPECT_EQ(pacer.WaitFor(TOpsService::Images), milliseconds(5000));
  EXPECT_EQ(pacer.WaitFor(TOpsService::Retrieval), milliseconds(0));
  std::vector<milliseconds> told;
  const TTime went = pacer.Acquire(TOpsService::Images, [&](milliseconds d) { told.push_back(d); });
  EXPECT_EQ(went - black, milliseconds(5000));
  EXPECT_EQ(told, std::vector<milliseconds>{milliseconds(5000)});

  // A 429 blocks the service it was sent to; without Retry-After for a minute.
  pacer.Observe(TOpsService::Search, Heard(""), -1, true);
  EXPECT_EQ(pacer.WaitFor(TOpsService::Search), milliseconds(60000));
  EXPECT_EQ(pacer.WaitFor(TOpsService::Inpadoc), milliseconds(0));

  // A black reply that arrives during a wait lengthens it, and the waiter hears of it.
  int sleeps = 0;
  TOpsPacer second(time.Clock(), [&](milliseconds d) {
    time.Advance(d);
    if (++sleeps == 3) second.Observe(TOpsService::Retrieval, Heard("busy (retrieval=black:0)"), 20000, false);
  });
  second.Observe(TOpsService::Retrieval, Heard("busy (retrieval=black:0)"), 10000, false);
  const TTime start = time.Now();
  told.clear();
  const TTime sentAt = second.Acquire(TOpsService::Retrieval, [&](milliseconds d) { told.push_back(d); });
  EXPECT_EQ(told, (std::vector<milliseconds>{milliseconds(10000), milliseconds(20000)}));
  EXPECT_EQ(sentAt - start, milliseconds(23000));
}

TEST(TOpsPacer, JobsSideBySideShareTheLimitAndAStoppedWaitCountsNothing) {
  FakeTime time;
  TOpsPacer pacer(time.Clock(), time.Sleep());
  pacer.Observe(TOpsService::Images, Heard("idle (images=green:200)"), -1, false);
  std::mutex m;
  std::vector<TTime> sent;
  std::vector<std::thread> jobs;
  for (int j = 0; j < 4; ++j)
    jobs.emplace_back([&] {
      for (int i = 0; i < 120; ++i) {
        const TTime t = pacer.Acquire(TOpsService::Images);
        std::lock_guard<std::mutex> lock(m);
        sent.push_back(t);
      }
    });
  for (std::thread& t : jobs) t.join();
  EXPECT_EQ(sent.size(), 480u);
  EXPECT_LE(BusiestMinute(sent), 200u);

  struct Stopped {};
  TOpsPacer stopping(time.Clock(), [](milliseconds) { throw Stopped(); });
  stopping.Acquire(TOpsService::Search);
  const milliseconds before = stopping.WaitFor(TOpsService::Search);
  EXPECT_THROW(stopping.Acquire(TOpsService::Search), Stopped);
  EXPECT_EQ(stopping.WaitFor(TOpsService::Search), before);
}

}  // namespace
