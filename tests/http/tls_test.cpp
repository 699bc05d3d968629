// The client over TLS against TLS peers of the test's own, with certificates of a private CA
// made at test time: the good path, each refusal, the endings of a reply, hostile servers.
#include <gtest/gtest.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "base/stream.h"
#include "http/httpclient.h"
#include "http/nettexts.h"
#include "tests/support/testca.h"
#include "wire.h"

using TAfter = TScriptServer::TAfter;

namespace {

// Bytes that differ from position to position, so that a body shifted or cut is noticed.
std::string Pattern(size_t size) {
  std::string out(size, '\0');
  uint32_t x = 12345;
  for (char& c : out) c = static_cast<char>((x = x * 1664525u + 1013904223u) >> 24);
  return out;
}

std::string WithCookie(const std::string& request, const std::string& cookie) {
  return request.substr(0, request.size() - 2) + "Cookie: " + cookie + "\r\n\r\n";
}

std::string LocalhostUrl(const TScriptServer& server, const std::string& target) {
  return "https://localhost:" + std::to_string(server.Port()) + target;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

double SecondsOf(const std::function<void()>& call) {
  auto start = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

using TContext = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;
using TExpect = std::function<std::string(const std::function<void()>&)>;

// Expects call to raise an E; gives its message.
template <typename E>
TExpect Raises() {
  return [](const std::function<void()>& call) { return std::string(Catch<E>(call).what()); };
}

// Every test trusts one private CA; the server presents a certificate of it for both names of
// loopback unless a test says otherwise.
class HttpTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { good_ = new TTestCert(TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"})); }
  static TContext Context(const TTestCert& cert, const TServerTlsOptions& options = {}) {
    return TContext(NewServerContext(cert, options), SSL_CTX_free);
  }
  static TContext Good() { return Context(*good_); }

  static inline TTestCert* good_ = nullptr;
};

}  // namespace

TEST_F(HttpTls, GetPostAndStreamGoOverKeptConnectionsAndResume) {
  const std::string big = Pattern(3u << 20);
  TContext ctx = Good();
  TScriptServer server({{{Ok("one", "Set-Cookie: S=1; Path=/; Secure\r\n")},
                         {Ok(big)},
                         {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n\r\n"}},
                        {{Ok("posted", "Connection: keep-alive\r\n")}}},
                       ctx.get());
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/a?x=1")), "one");
  TStringStream stream;
  client.HttpGetStream(server.Url("/big"), stream);
  EXPECT_TRUE(stream.Data() == big);
  EXPECT_EQ(client.HttpGetText(server.Url("/c")), "hello world");
  EXPECT_FALSE(client.SessionResumed());
  // The bytes of plain HTTP, on one connection after one handshake; the secure cookie goes
  // back over TLS. No SNI for an address.
  EXPECT_EQ(server.Received(0), GetRequest(server, "/a?x=1") + WithCookie(GetRequest(server, "/big"), "S=1") +
                                    WithCookie(GetRequest(server, "/c"), "S=1"));
  EXPECT_EQ(server.Handshakes(), 1);
  EXPECT_EQ(server.ServerName(0), "");
  // A POST takes a connection of its own, which resumes the session of the first.
  std::vector<std::string> form = {"k=v w"};
  EXPECT_EQ(client.HttpPostForm(server.Url("/p"), form), "posted");
  EXPECT_TRUE(client.SessionResumed());
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(server.Handshakes(), 2);
  EXPECT_EQ(server.Resumed(), 1);
  const std::string post = server.Received(1);
  EXPECT_EQ(post.substr(0, 18), "POST /p HTTP/1.0\r\n");
  EXPECT_EQ(post.substr(post.size() - 7), "k=v%20w");
}

TEST_F(HttpTls, HostNamesGoAsSniAndEveryNewObjectResumes) {
  TContext ctx = Good();
  TScriptServer server({{{Ok("a")}}, {{Ok("b")}}, {{Ok("c")}}}, ctx.get());
  // Objects are made per request by the workers: each after the first resumes.
  for (const char* body : {"a", "b", "c"}) {
    THttpClient client;
    EXPECT_EQ(client.HttpGetText(LocalhostUrl(server, "/")), body);
  }
  EXPECT_EQ(server.ServerName(0), "localhost");
  EXPECT_EQ(server.Handshakes(), 3);
  EXPECT_EQ(server.Resumed(), 2);
  EXPECT_EQ(server.Received(2), "GET / HTTP/1.1\r\nHost: localhost:" + std::to_string(server.Port()) + "\r\n" + kTail);
}

// As the workers use it: a client object per thread, all to one host at once. The second
// round resumes the sessions the first was given.
TEST_F(HttpTls, ClientsOnSeveralThreadsShareTheContextAndTheSessions) {
  constexpr int kThreads = 4, kRequests = 25;
  const std::string body = Pattern(20000);
  TContext ctx = Good();
  TScriptServer server(std::vector<TScriptServer::TScript>(2 * kThreads, TScriptServer::TScript(kRequests, {Ok(body)})),
                       ctx.get());
  std::atomic<int> right{0};
  for (int round = 0; round < 2; ++round) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&] {
        THttpClient client;
        for (int i = 0; i < kRequests; ++i) right += client.HttpGetText(LocalhostUrl(server, "/")) == body ? 1 : 0;
      });
    for (std::thread& t : threads) t.join();
  }
  EXPECT_EQ(right, 2 * kThreads * kRequests);
  EXPECT_EQ(server.Handshakes(), 2 * kThreads);
  EXPECT_GE(server.Resumed(), kThreads);
}

// Each check that fails ends the request with its own error, naming the server, before a
// byte of the request is out; the object then goes on as after any failure.
TEST_F(HttpTls, EachFailedCheckRaisesItsOwnErrorAndSendsNothing) {
  TTestCa stranger("Unknown Test CA");
  TTestCert expired = TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"}, -7200, -3600);
  TTestCert elsewhere = TrustedTestCa().Issue({"other.example"}, {"10.1.2.3"});
  TTestCert untrusted = stranger.Issue({"localhost"}, {"127.0.0.1"});
  TServerTlsOptions old;
  old.MaxVersion = TLS1_1_VERSION;
  // A chain of 10 MB: the client refuses its length, not after taking it in.
  TContext huge = Good();
  X509* leaf = SSL_CTX_get0_certificate(huge.get());
  for (int i = 0; i < 10 * 1024 * 1024 / i2d_X509(leaf, nullptr) + 1; ++i) SSL_CTX_add1_chain_cert(huge.get(), leaf);

  struct TCase {
    TContext ctx;
    bool byName;
    TExpect expect;
    std::string text;
  };
  std::vector<TCase> cases;
  cases.push_back({Context(untrusted), true, Raises<ENetTlsUnknownCA>(), nettext::kCertUnknownCa});
  cases.push_back({Context(expired), false, Raises<ENetTlsCertificateExpired>(), nettext::kCertExpired});
  cases.push_back({Context(elsewhere), true, Raises<ENetTlsHostMismatch>(), nettext::kCertHostMismatch});
  cases.push_back({Context(elsewhere), false, Raises<ENetTlsHostMismatch>(), nettext::kCertHostMismatch});
  cases.push_back({Context(*good_, old), false, Raises<ENetTlsOldProtocol>(), nettext::kOldProtocol});
  cases.push_back({std::move(huge), false, Raises<ENetTlsHandshakeFailed>(), nettext::kHandshakeFailed});
  THttpClient client;
  for (size_t i = 0; i < cases.size(); ++i) {
    TCase& c = cases[i];
    TScriptServer server({{{Ok("never")}}}, c.ctx.get());
    std::string url = c.byName ? LocalhostUrl(server, "/") : server.Url("/");
    std::string message = c.expect([&] { client.HttpGetText(url); });
    std::string name = (c.byName ? "localhost:" : "127.0.0.1:") + std::to_string(server.Port());
    EXPECT_TRUE(Contains(message, name) && Contains(message, c.text)) << i << ": " << message;
    EXPECT_EQ(server.Handshakes(), 0) << i;
    EXPECT_EQ(server.Received(0), "") << i;
  }
  // A server that is not TLS at all.
  TScriptServer plain({{{"HTTP/1.1 400 Bad Request\r\n\r\n", TAfter::Close, false}}});
  auto notTls = Catch<ENetTlsHandshakeFailed>([&] { client.HttpGetText("https://127.0.0.1:" + std::to_string(plain.Port()) + "/"); });
  EXPECT_TRUE(Contains(notTls.what(), nettext::kHandshakeFailed)) << notTls.what();
  TContext ctx = Good();
  TScriptServer good({{{Ok("fine")}}}, ctx.get());
  EXPECT_EQ(client.HttpGetText(good.Url("/")), "fine");
}

// A body that is whole may be followed by a bare TCP close; one that is not, or that only the
// close ends without close_notify, may have been cut by anyone on the way.
TEST_F(HttpTls, EndingsOfABody) {
  const std::string body = Pattern(50000);
  const std::string counted = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  const std::string toClose = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n";
  const std::string longChunk = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4e20\r\n" +
                                body.substr(0, 20000) + "\r\n0\r\n\r\n";
  TContext ctx = Good();
  TScriptServer server({
      {{counted + body, TAfter::Close}},
      {{chunked, TAfter::Close}},
      {{toClose + body, TAfter::CloseNotify}},
      {{toClose + body, TAfter::Close}},
      {{counted + body.substr(0, 30000), TAfter::Close}},
      {{counted + body.substr(0, 30000), TAfter::CloseNotify}},
      {{counted + body, TAfter::Tear, true, {}, 0, 1, 7}},
      {{longChunk, TAfter::Tear, true, {}, 0, 1, 7}},
      {{Ok("kept")}, {Ok("again")}},
  }, ctx.get());
  THttpClient client;
  // The server's close of a kept connection is noticed before the next request, which then
  // goes out on a new one.
  EXPECT_TRUE(client.HttpGetText(server.Url("/")) == body);
  ASSERT_TRUE(server.WaitClosed(0));
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "abc");
  ASSERT_TRUE(server.WaitClosed(1));
  EXPECT_TRUE(client.SessionResumed());
  EXPECT_TRUE(client.HttpGetText(server.Url("/")) == body);
  for (int i = 0; i < 3; ++i) {
    auto e = Catch<ENetTlsTruncated>([&] { client.HttpGetText(server.Url("/")); }); 
    EXPECT_TRUE(Contains(e.what(), nettext::kTruncated)) << e.what();
  }
  // A record torn: the records before it stay in the stream.
  TStringStream stream;
  Catch<ENetTlsTruncated>([&] { client.HttpGetStream(server.Url("/"), stream); });
  EXPECT_EQ(stream.Data(), body.substr(0, 3 * 16384 - counted.size()));
  Catch<ENetConnClosedGracefully>([&] { client.HttpGetText(server.Url("/")); });
  // The object goes on: a new connection, resumed.
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "kept");
  EXPECT_TRUE(client.SessionResumed());
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "again");
  EXPECT_EQ(server.Connections(), 9);
}

// Servers that hold a handshake or a reply: each ends within the limits, with its error.
TEST_F(HttpTls, SilentDrippingAndTornHandshakesEndInTime) {
  // A TLS record header and the start of a ServerHello.
  const std::string hello("\x16\x03\x03\x00\x7a\x02\x00\x00\x76\x03\x03", 11);
  TScriptServer server({
      {{"", TAfter::Hang}},                                          // never answers the ClientHello
      {{"", TAfter::Close, false, hello + std::string(100, 'x'), 100}},  // a byte every 100 ms
      {{hello + std::string(20, 'x'), TAfter::Hang, false}},         // a record torn off
  });
  const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/";
  THttpClient client;
  client.ConnectTimeout = 600;
  for (int i = 0; i < 3; ++i)
    EXPECT_LT(SecondsOf([&] { Catch<ENetConnectTimeout>([&] { client.HttpGetText(url); }); }), 5) << i;
  // After the handshake, a reply that stops in the middle of a record.
  TContext ctx = Good();
  TScriptServer tls({{{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc", TAfter::Hang}}}, ctx.get());
  client.ReadTimeout = 300;
  EXPECT_LT(SecondsOf([&] { Catch<ENetReadTimeout>([&] { client.HttpGetText(tls.Url("/")); }); }), 5);
}
