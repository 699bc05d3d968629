// The cookie store, seen on the wire: what replies set and what later requests carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "http/cookies.h"
#include "http/httpclient.h"
#include "scriptserver.h"

namespace {

std::string Reply(const std::string& setCookies, const std::string& status = "200 OK") {
  return "HTTP/1.1 " + status + "\r\n" + setCookies + "Content-Length: 2\r\n\r\nok";
}

// The Cookie header value of each GET on a connection ("" where none was sent).
std::vector<std::string> CookiesSent(const std::string& received) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t end; (end = received.find("\r\n\r\n", at)) != std::string::npos; at = end + 4) {
    std::string head = received.substr(at, end - at);
    size_t c = head.find("\r\nCookie: ");
    out.push_back(c == std::string::npos ? std::string() : head.substr(c + 10, head.find("\r\n", c + 2) - c - 10));
  }
  return out;
}

// Runs GETs of the targets on one object against replies that set the given cookies.
std::vector<std::string> Exchange(const std::vector<std::string>& replies, const std::vector<std::string>& targets,
                                  THttpClient& client) {
  TScriptServer::TScript script;
  for (const std::string& r : replies) script.push_back({r});
  TScriptServer server({script});
  for (const std::string& t : targets) {
    try {
      client.HttpGetText(server.Url(t));
    } catch (const ENetHTTPProtocolException&) {
    }
  }
  return CookiesSent(server.Received(0));
}

}  // namespace

TEST(HttpCookies, SentBackUnderTheirPathOnlyAndNeverOnAFirstRequest) {
  THttpClient client;
  auto sent = Exchange({Reply("Set-Cookie: JSID=abc; Path=/sipo\r\n"), Reply(""), Reply(""), Reply("")},
                       {"/sipo/x.jsp", "/sipo/zljs/x.jsp", "/other/x.jsp", "/sipo"}, client);
  // "/sipo" itself: its directory part is "/", which the cookie's path does not prefix.
  EXPECT_EQ(sent, (std::vector<std::string>{"", "JSID=abc", "", ""}));
  // The header goes last, after User-Agent.
  THttpClient second;
  TScriptServer server({{{Reply("Set-Cookie: a=1; Path=/\r\n")}, {Reply("")}}});
  second.HttpGetText(server.Url("/x"));
  second.HttpGetText(server.Url("/y"));
  std::string received = server.Received(0);
  EXPECT_NE(received.find("User-Agent: Mozilla/3.0 (compatible; Varnolt)\r\nCookie: a=1\r\n\r\n"), std::string::npos);
}

TEST(HttpCookies, SameNameReplacesAndOtherPathsStandBeside) {
  THttpClient client;
  auto sent = Exchange({Reply("Set-Cookie: A=1; Path=/sipo\r\nSet-Cookie: B=x; Path=/sipo/zljs\r\n"),
                        Reply("Set-Cookie: a=2; Path=/sipo\r\n"), Reply(""), Reply("")},
                       {"/", "/sipo/zljs/x.jsp", "/sipo/zljs/y.jsp", "/sipo/z.jsp"}, client);
  // The replaced cookie takes the new name's spelling; the longer-sorting path goes first.
  EXPECT_EQ(sent, (std::vector<std::string>{"", "B=x; A=1", "B=x; a=2", "a=2"}));
  EXPECT_EQ(client.CookieManager()->Count(), 2u);
}

TEST(HttpCookies, ExpiryDecidesWhatIsSentAndWhatIsKept) {
  THttpClient client;
  auto sent = Exchange({Reply("Set-Cookie: old=1; Path=/; Expires=Thu, 01-Jan-2004 00:00:00 GMT\r\n"
                              "Set-Cookie: later=2; Path=/; expires=Fri, 31 Dec 2110 23:59:59 GMT\r\n"
                              "Set-Cookie: aged=3; Path=/; Max-Age=3600\r\n"
                              "Set-Cookie: garbled=4; Path=/; Expires=someday\r\n"
                              "Set-Cookie: session=5; Path=/\r\n"),
                        Reply("")},
                       {"/", "/"}, client);
  ASSERT_EQ(sent.size(), 2u);
  for (const char* kept : {"later=2", "aged=3", "session=5"}) EXPECT_NE(sent[1].find(kept), std::string::npos) << kept;
  for (const char* gone : {"old=", "garbled="}) EXPECT_EQ(sent[1].find(gone), std::string::npos) << gone;
  // The past and the unreadable dates are removed from the store, not merely left out.
  EXPECT_EQ(client.CookieManager()->Count(), 3u);
}

TEST(HttpCookies, UnsendableCookiesAreStoredButNotSent) {
  THttpClient client;
  auto sent = Exchange({Reply("Set-Cookie: nopath=1\r\nSet-Cookie: safe=2; Path=/; Secure\r\n"
                              "Set-Cookie: empty=; Path=/\r\n"),
                        Reply("")},
                       {"/a/b", "/a/b"}, client);
  EXPECT_EQ(sent, (std::vector<std::string>{"", ""}));
  EXPECT_EQ(client.CookieManager()->Count(), 3u);
}

TEST(HttpCookies, EveryReplyHandsItsCookiesOver) {
  THttpClient client;
  auto sent = Exchange({"HTTP/1.1 100 Continue\r\nSet-Cookie: early=1; Path=/\r\n\r\n" + Reply(""),
                        Reply("Set-Cookie: missing=2; Path=/\r\n", "404 Not Found"), Reply("")},
                       {"/", "/", "/"}, client);
  EXPECT_EQ(sent, (std::vector<std::string>{"", "early=1", "missing=2; early=1"}));
}

TEST(HttpCookies, DomainMustFitTheReplyingHost) {
  THttpClient client;
  // From 127.0.0.1 only that exact address is accepted as a domain.
  auto sent = Exchange({Reply("Set-Cookie: x=1; Path=/; Domain=127.0.0.2\r\nSet-Cookie: y=2; Path=/; Domain=127.0.0.1\r\n"),
                        Reply("")},
                       {"/", "/"}, client);
  EXPECT_EQ(sent[1], "y=2");

  TCookieStore store;
  THeaderList headers;
  headers.Add("Set-Cookie", "a=1; Path=/; Domain=.sipo.gov.cn");
  headers.Add("set-cookie", "b=2; Path=/; Domain=.other.cn");
  headers.Add("Set-Cookie", "c=3; Path=/; Domain=gov.cn");
  headers.Add("Set-Cookie", "d=4; Path=/; Domain=.www.sipo.gov.cn");
  store.StoreReplyCookies("www.sipo.gov.cn", headers);
  EXPECT_EQ(store.Count(), 2u);  // a (a tail of ".sipo.gov.cn") and c (a plain tail)
  std::string header = store.CookieHeaderFor("www.sipo.gov.cn", "/q/", false);
  EXPECT_TRUE(header == "a=1; c=3" || header == "c=3; a=1") << header;

  EXPECT_TRUE(CookieDomainFits(".Sipo.cn", ".sipo.cn"));
  EXPECT_FALSE(CookieDomainFits(".sipo.cn", "sipo.cn"));
  EXPECT_FALSE(CookieDomainFits("10.0.0.1", "10.0.0.10"));
}

TEST(HttpCookies, SetCookie2AttributesAndAttributeSpelling) {
  TCookieStore store;
  THeaderList headers;
  headers.Add("Set-Cookie2", "k=v; Version=1; path=\"/docs\"; PATH=/ignored; discard; port=\"81, 8080\"");
  store.StoreReplyCookies("h.example", headers);
  // The first Path counts, its quotes removed.
  EXPECT_EQ(store.CookieHeaderFor("h.example", "/docs/", false), "k=v");
  EXPECT_EQ(store.CookieHeaderFor("h.example", "/ignored/", false), "");
}

TEST(HttpCookies, InternetDatesInTheirUsualForms) {
  std::time_t t = 0;
  const std::time_t kNov6 = 784111777;  // Sun, 06 Nov 1994 08:49:37 GMT
  for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                           "Sun Nov  6 08:49:37 1994", "Sun, 06 Nov 1994 16:49:37 +0800"}) {
    ASSERT_TRUE(ParseInternetDate(text, t)) << text;
    EXPECT_EQ(t, kNov6) << text;
  }
  for (const char* text : {"", "someday", "Sun, 32 Nov 1994 08:49:37 GMT", "06 Nov 1994", "Sun, 06 Nov 1994 25:00:00"})
    EXPECT_FALSE(ParseInternetDate(text, t)) << text;
  // What is written reads back as the same moment, whatever the local zone.
  ASSERT_TRUE(ParseInternetDate(FormatInternetDate(kNov6), t));
  EXPECT_EQ(t, kNov6);
}

TEST(HttpCookies, AFloodKeepsTheNewestPerDomainAndPerStore) {
  // One reply of 28,000 cookies for one domain keeps that domain's newest 180.
  TCookieStore store;
  THeaderList flood;
  for (int i = 0; i < 28000; ++i) flood.Add("Set-Cookie", "n" + std::to_string(i) + "=v; Path=/");
  store.StoreReplyCookies("h.example", flood);
  EXPECT_EQ(store.Count(), TCookieStore::kMaxPerDomain);
  std::string header = store.CookieHeaderFor("h.example", "/", false);
  EXPECT_EQ(header.rfind("n27999=v; ", 0), 0u) << "newest first";
  EXPECT_NE(header.find("; n27820=v"), std::string::npos);
  EXPECT_EQ(header.find("n27819="), std::string::npos);

  // Twenty domains of 180 each: the store keeps its newest 3000, the oldest domains' go first.
  TCookieStore many;
  for (int d = 0; d < 20; ++d) {
    THeaderList headers;
    for (int i = 0; i < 180; ++i) headers.Add("Set-Cookie", "c" + std::to_string(i) + "=v; Path=/");
    many.StoreReplyCookies("d" + std::to_string(d) + ".example", headers);
  }
  EXPECT_EQ(many.Count(), TCookieStore::kMaxCookies);
  auto countAt = [&](int d) {
    std::string h = many.CookieHeaderFor("d" + std::to_string(d) + ".example", "/", false);
    return h.empty() ? 0 : 1 + std::count(h.begin(), h.end(), ';');
  };
  EXPECT_EQ(countAt(0), 0);
  EXPECT_EQ(countAt(3), 120);
  EXPECT_EQ(countAt(19), 180);
}

TEST(HttpCookies, OversizedAndUnsendableCookiesAreIgnored) {
  TCookieStore store;
  THeaderList headers;
  headers.Add("Set-Cookie", "big=" + std::string(4093, 'v') + "; Path=/");  // name and value 4096 bytes
  headers.Add("Set-Cookie", "big=" + std::string(4094, 'w') + "; Path=/");  // 4097: leaves the first alone
  headers.Add("Set-Cookie", std::string("nul=a\0b; Path=/", 15));
  headers.Add("Set-Cookie", "cr=a\rX-Chosen: 1; Path=/");
  store.StoreReplyCookies("h.example", headers);
  EXPECT_EQ(store.Count(), 1u);
  EXPECT_EQ(store.CookieHeaderFor("h.example", "/", false), "big=" + std::string(4093, 'v'));
}

TEST(HttpCookies, AHugeMaxAgeLastsInEveryTimeZone) {
  const char* saved = std::getenv("TZ");
  std::string savedZone = saved ? saved : "";
  // POSIX zone texts need no zone database: 8 and 14 hours east, 8 hours west, UTC.
  for (const char* zone : {"CST-8", "LINT-14", "PST8", "UTC0"}) {
    setenv("TZ", zone, 1);
    tzset();
    TCookieStore store;
    THeaderList headers;
    headers.Add("Set-Cookie", "long=1; Path=/; Max-Age=999999999999999");
    headers.Add("Set-Cookie", "year=2; Path=/; Max-Age=31536000");
    store.StoreReplyCookies("h.example", headers);
    EXPECT_EQ(store.CookieHeaderFor("h.example", "/", false), "year=2; long=1") << zone;
  }
  if (saved)
    setenv("TZ", savedZone.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}
