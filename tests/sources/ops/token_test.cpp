// The token reply, the refusal of a token, and the holder that renews it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/gbk.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opstexts.h"
#include "sources/ops/opstoken.h"

namespace {

using std::chrono::seconds;

const char kReply[] = R"({
  "refresh_token_expires_in": "0",
  "api_product_list": "[ops-prod]",
  "api_product_list_json": ["ops-prod"],
  "organization_name": "epo",
  "token_type": "BearerToken",
  "issued_at": "1716394418900",
  "client_id": "abc",
  "access_token": "gBOVfHj6elgXa2s5Taxi6uDAqYT0",
  "application_name": "x",
  "scope": "core",
  "expires_in": "1199",
  "refresh_count": "0",
  "status": "approved"
})";

TEST(ReadTokenReply, TakesTheTokenAndItsLifetime) {
  const TOpsToken t = ReadTokenReply(kReply);
  EXPECT_EQ(t.accessToken, "gBOVfHj6elgXa2s5Taxi6uDAqYT0");
  EXPECT_EQ(t.expiresIn, seconds(1199));
  const std::pair<const char*, seconds> lifetimes[] = {
      {R"({"access_token":"t","expires_in":20})", seconds(20)},
      {R"({"access_token":"t","expires_in":" 5 "})", seconds(5)},
      {R"({"access_token":"t","token_type":"Bearer"})", seconds(1199)},
      {R"({"access_token":"t","expires_in":"soon"})", seconds(1199)},
      {R"({"access_token":"t","expires_in":"0"})", seconds(1)},
      {R"({"access_token":"t","expires_in":99999999999})", seconds(86400)},
  };
  for (const auto& [body, lifetime] : lifetimes) EXPECT_EQ(ReadTokenReply(body).expiresIn, lifetime) << body;
}

TEST(ReadTokenReply, RefusesRepliesWithoutAUsableTokenAndNeverShowsIt) {
  const std::pair<std::string, const char*> bad[] = {
      {"", opstext::kTokenUnreadable},
      {"<html>502 Bad Gateway</html>", opstext::kTokenUnreadable},
      {R"({"access_token":"t")", opstext::kTokenUnreadable},
      {R"(["access_token","t"])", opstext::kTokenUnreadable},
      {std::string(100000, '['), opstext::kTokenUnreadable},
      {R"({"token_type":"BearerToken","expires_in":"1199"})", opstext::kTokenMissing},
      {R"({"access_token":""})", opstext::kTokenMissing},
      {R"({"access_token":12345})", opstext::kTokenMissing},
      {R"({"access_token":"abc\r\nX-Evil: 1"})", opstext::kTokenMissing},
      {R"({"access_token":"a b"})", opstext::kTokenMissing},
      {R"({"access_token":")" + std::string(5000, 'a') + "\"}", opstext::kTokenMissing},
      {R"({"access_token":"secret-ish","token_type":"MAC"})", opstext::kTokenWrongType},
  };
  for (const auto& [body, text] : bad) {
    try {
      ReadTokenReply(body);
      ADD_FAILURE() << body.substr(0, 60);
    } catch (const EOpsTokenError& e) {
      EXPECT_EQ(e.Message().rfind(text, 0), 0u) << body.substr(0, 60);
      EXPECT_EQ(e.Message().find("secret-ish"), std::string::npos);
    }
  }
}

TEST(IsInvalidTokenReply, OnlyTheRefusalOfTheToken) {
  const char kInvalid[] =
      "<error><code>400</code><message>invalid_access_token</message>"
      "<description>Access token is invalid</description></error>";
  EXPECT_TRUE(IsInvalidTokenReply(400, kInvalid));
  EXPECT_TRUE(IsInvalidTokenReply(400, "", {R"(Bearer realm="null", error="invalid_token", error_description="x")"}));
  EXPECT_FALSE(IsInvalidTokenReply(401, kInvalid));
  EXPECT_FALSE(IsInvalidTokenReply(400, "<error><code>400</code><message>Required param : grant_type</message></error>"));
  EXPECT_FALSE(IsInvalidTokenReply(
      400, R"(<fault xmlns="http://ops.epo.org"><code>CLIENT.CQL</code><message>The query provided is invalid</message></fault>)"));
  EXPECT_FALSE(IsInvalidTokenReply(400, "invalid_access_token"));
  EXPECT_FALSE(IsInvalidTokenReply(400, "", {R"(Basic realm="ops")"}));
}

struct Clock {
  std::atomic<int64_t> s{1000};
  TOpsTokenHolder::TClock Fn() {
    return [this] { return std::chrono::steady_clock::time_point(seconds(s.load())); };
  }
};

TEST(TOpsTokenHolder, RenewsShortlyBeforeExpiryAndOnceAfterARefusal) {
  Clock clock;
  int fetches = 0;
  TOpsTokenHolder holder([&] { return TOpsToken{"t" + std::to_string(++fetches), seconds(1199)}; }, clock.Fn());
  EXPECT_EQ(holder.Token(), "t1");
  clock.s += 1138;
  EXPECT_EQ(holder.Token(), "t1");
  clock.s += 2;  // inside the last minute
  EXPECT_EQ(holder.Token(), "t2");

  // A short lifetime keeps a margin of a quarter of it.
  TOpsTokenHolder brief([&] { return TOpsToken{"b" + std::to_string(++fetches), seconds(8)}; }, clock.Fn());
  const std::string first = brief.Token();
  clock.s += 5;
  EXPECT_EQ(brief.Token(), first);
  clock.s += 1;
  EXPECT_NE(brief.Token(), first);

  // Two jobs refused the same token: only the first renewal fetches.
  const std::string refused = holder.Token();
  const std::string renewed = holder.Renew(refused);
  EXPECT_NE(renewed, refused);
  EXPECT_EQ(holder.Renew(refused), renewed);
  EXPECT_NE(holder.Renew(renewed), renewed);
}

TEST(TOpsTokenHolder, OneFetchAtATimeAndAFailedFetchIsTriedAgain) {
  Clock clock;
  std::atomic<int> fetches{0}, inside{0}, most{0};
  TOpsTokenHolder holder(
      [&] {
        most = std::max(most.load(), ++inside);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        --inside;
        return TOpsToken{"t" + std::to_string(++fetches), seconds(1199)};
      },
      clock.Fn());
  std::vector<std::thread> jobs;
  std::vector<std::string> got(6);
  for (size_t i = 0; i < got.size(); ++i) jobs.emplace_back([&, i] { got[i] = holder.Renew("expired"); });
  for (std::thread& t : jobs) t.join();
  EXPECT_EQ(fetches.load(), 1);
  EXPECT_EQ(most.load(), 1);
  for (const std::string& t : got) EXPECT_EQ(t, "t1");

  bool fail = true;
  TOpsTokenHolder flaky(
      [&] {
        if (fail) throw EOpsTokenError("down");
        return TOpsToken{"ok", seconds(1199)};
      },
      clock.Fn());
  EXPECT_THROW(flaky.Token(), EOpsTokenError);
  fail = false;
  EXPECT_EQ(flaky.Token(), "ok");
}

}  // namespace
