#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>

#include "base/stream.h"
#include "http/httpclient.h"
#include "tests/support/tempdir.h"
#include "wire.h"

using TAfter = TScriptServer::TAfter;
using TReason = ENetUndefinedSituation::TReason;

TEST(HttpRequest, TargetAndHostHeaderAreSentAsGiven) {
  TScriptServer server({{{Ok("one")}, {Ok("two")}, {Ok("three")}}});
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/a/b.jsp?x=1#top")), "one");
  // A bare host asks for "/"; raw GBK bytes in the query go out unchanged.
  EXPECT_EQ(client.HttpGetText("http://" + HostOf(server)), "two");
  EXPECT_EQ(client.HttpGetText(server.Url("/q.jsp?w=\xD6\xD0 a")), "three");
  EXPECT_EQ(server.Received(0), GetRequest(server, "/a/b.jsp?x=1") + GetRequest(server, "/") +
                                    GetRequest(server, "/q.jsp?w=\xD6\xD0 a"));
}

TEST(HttpRequest, LineBreaksInTargetOrHeaderAreRefusedBeforeAnythingIsSent) {
  TScriptServer server({{{Ok("after")}}});
  THttpClient client;
  auto refused = [&](const std::function<void()>& call) {
    EXPECT_STREQ(Catch<ENetUnsafeRequest>(call).what(), "Request refused: CR, LF or NUL in its target or a header.");
  };
  // Page text as a target: a cut fragment, a link, a page address; and as the host.
  for (const std::string& link : {std::string("x HTTP/1.1\r\nX-Chosen: 1\r\n\r\nGET /y"), std::string("a\nb"),
                                  std::string("a\rb"), std::string("a\0b", 3)})
    refused([&] { client.HttpGetText(server.Url("/sipo/zljs/") + link); });
  TStringStream stream;
  refused([&] { client.HttpGetStream(server.Url("/books/1/\r\nX-Chosen: 1/000001.tif"), stream); });
  refused([&] { client.HttpGetText("http://127.0.0.1\r\nX-Chosen: 1/x"); });
  // A header value set by a caller; a POST's form values are encoded and go through.
  THttpClient poster;
  poster.Request.Referer = "http://r/\r\nX-Chosen: 1";
  std::vector<std::string> form = {"a=1\r\n2"};
  refused([&] { poster.HttpPostForm(server.Url("/p"), form); });
  EXPECT_EQ(server.Connections(), 0);
  // The object goes on as after any failure.
  EXPECT_EQ(client.HttpGetText(server.Url("/ok")), "after");
  EXPECT_EQ(server.Received(0), GetRequest(server, "/ok"));
  EXPECT_EQ(EncodeFormValue("1\r\n2"), "1%0D%0A2");
}

TEST(HttpRequest, UrlsAreCutIntoTheirPieces) {
  struct TCase {
    std::string url, user, password, host, port, path, document, params, bookmark;
  };
  const TCase cases[] = {
      {"http://u:p@h:81/a\\b/c.jsp=1#f", "u", "p", "h", "81", "/a/b/", "c.jsp", "=1", "f"},
      {"http://:p@h/x", "", "", "h", "", "/", "x", "", ""},
      {"http://h/a/b?x=/y#z", "", "", "h", "", "/a/", "b", "?x=/y", "z"},
      {"http://h/\xB1\x5C/x", "", "", "h", "", "/\xB1\x5C/", "x", "", ""},
      {"a/b.htm#frag", "", "", "", "", "a/", "b.htm", "", "frag"},
  };
  for (const TCase& c : cases) {
    TUri u = ParseUri(c.url);
    EXPECT_EQ(std::vector<std::string>({u.Username, u.Password, u.Host, u.Port, u.Path, u.Document, u.Params, u.Bookmark}),
              std::vector<std::string>({c.user, c.password, c.host, c.port, c.path, c.document, c.params, c.bookmark}))
        << c.url;
  }
}

TEST(HttpRequest, PortEightyIsLeftOutOfTheHostHeader) {
  THttpClient client;
  client.ConnectTimeout = 2000;
  // Nothing needs to answer: the Host field is settled before connecting.
  try {
    client.HttpGetText("http://127.0.0.1:80/x");
  } catch (const ENetException&) {
  }
  EXPECT_EQ(client.Request.Host, "127.0.0.1");
  try {
    client.HttpGetText("http://127.0.0.1:8080/x");
  } catch (const ENetException&) {
  }
  EXPECT_EQ(client.Request.Host, "127.0.0.1:8080");
}

TEST(HttpRequest, CallerFieldsGoInTheirPlaceOnAGet) {
  TScriptServer server({{{Ok("")}}});
  THttpClient client;
  client.Request.Referer = "http://ref/x.jsp";
  client.Request.AcceptLanguage = "zh-cn";
  client.Request.ContentType = "text/plain";
  client.HttpGetText(server.Url("/p"));
  EXPECT_EQ(server.Received(0), "GET /p HTTP/1.1\r\nContent-Type: text/plain\r\nHost: " + HostOf(server) +
                                    "\r\nAccept: text/html, */*\r\nAccept-Language: zh-cn\r\nReferer: http://ref/x.jsp\r\n"
                                    "User-Agent: Mozilla/3.0 (compatible; Varnolt)\r\n\r\n");
}

TEST(HttpRequest, PostIsSentAsOnePieceOfOneZeroWithEncodedForm) {
  TScriptServer server({{{Ok("posted", "Connection: close\r\n"), TAfter::Close}}});
  THttpClient client;
  client.Request.AcceptLanguage = "zh-cn";
  client.Request.Referer = "http://r/";
  std::vector<std::string> lines = {"recshu=100", "searchword=\xD6\xD0", "pg=1", "v=a b%", "w=x=y&z#", "empty=",
                                    "bare"};
  EXPECT_EQ(client.HttpPostForm(server.Url("/sipo/zljs/hyjs-jieguo.jsp"), lines), "posted");
  std::string body = "recshu=100&searchword=%D6%D0&pg=1&v=a%20b%25&w=x=y&z%23&empty=&bare";
  EXPECT_EQ(server.Received(0), "POST /sipo/zljs/hyjs-jieguo.jsp HTTP/1.0\r\nConnection: keep-alive\r\n"
                                "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\nHost: " + HostOf(server) +
                                    "\r\nAccept: text/html, */*\r\nAccept-Language: zh-cn\r\nReferer: http://r/\r\n"
                                    "User-Agent: Mozilla/3.0 (compatible; Varnolt)\r\n\r\n" + body);
  // The caller's list now holds the encoded values.
  EXPECT_EQ(lines[1], "searchword=%D6%D0");
  EXPECT_EQ(lines[3], "v=a%20b%25");
  EXPECT_EQ(lines[6], "bare");
}

TEST(HttpRequest, OptionsKeepTheVersionOrTheRawValues) {
  TScriptServer server({{{Ok("1")}, {Ok("2")}}});
  THttpClient client;
  client.HTTPOptions = optKeepOrigProtocol;
  std::vector<std::string> form = {"a=x y", "b=2"};
  EXPECT_EQ(client.HttpPostForm(server.Url("/p"), form), "1");
  EXPECT_EQ(form[0], "a=x y");
  EXPECT_EQ(server.Received(0).substr(0, 35), "POST /p HTTP/1.1\r\nContent-Type: app");
  EXPECT_EQ(server.Received(0).substr(server.Received(0).size() - 9), "a=x y&b=2");
  // A 1.1 reply without "close" keeps the connection for the GET that follows.
  EXPECT_EQ(client.HttpGetText(server.Url("/g")), "2");
  EXPECT_EQ(server.Connections(), 1);
}

TEST(HttpRequest, LongHeaderLinesAreFoldedAtABreak) {
  TScriptServer server({{{Ok("")}}});
  THttpClient client;
  std::string referer = "http://r/?" + std::string(1000, 'a') + "," + std::string(600, 'b') + " " + std::string(50, 'c');
  client.Request.Referer = referer;
  client.HttpGetText(server.Url("/"));
  std::string sent = server.Received(0);
  // "Referer: " + 1011 bytes reaches the comma at 1020; the rest fits one continuation.
  EXPECT_NE(sent.find("\r\nReferer: http://r/?" + std::string(1000, 'a') + ",\r\n " + std::string(600, 'b') + " " +
                      std::string(50, 'c') + "\r\nUser-Agent"),
            std::string::npos);
}

TEST(HttpRequest, FormEncodingKeepsGbkTrailBytesAndEscapesTheRest) {
  EXPECT_EQ(EncodeFormValue("\xB9\x40\x5B\x80 #%*<>[]=&+'()/?\x7F\x01"),
            "%B9@%5B\x80%20%23%25%2A%3C%3E%5B%5D=&+'()/?\x7F%01");
  // Only the joined text is trimmed; blanks inside a value are encoded first.
  std::vector<std::string> one = {"  a=1 "};
  EXPECT_EQ(BuildFormBody(one), "a=1%20");
  std::vector<std::string> none;
  EXPECT_EQ(BuildFormBody(none), "");
}

TEST(HttpReply, BodiesCountedChunkedCloseDelimitedAndShort) {
  TScriptServer server({
      {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6 ext\r\n world\r\n0\r\n\r\n"}},
      {{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the close", TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(60, 'x'), TAfter::Close}},
      {{"HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n"}},
  });
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/c")), "hello world");
  THttpClient second;
  EXPECT_EQ(second.HttpGetText(server.Url("/d")), "until the close");
  TStringStream stream;
  second.HttpGetStream(server.Url("/s"), stream);
  EXPECT_EQ(stream.Data(), std::string(60, 'x'));
  EXPECT_EQ(second.HttpGetText(server.Url("/n")), "");
}

TEST(HttpReply, InterimContinueRepliesAreSkipped) {
  TScriptServer server({{{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" + Ok("after")}}});
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "after");
  EXPECT_EQ(client.Response.ResponseCode, 200);
}

TEST(HttpReply, RedirectsAndLocationEndWithTheStatusLine) {
  TScriptServer server({{{"HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 3\r\n\r\nabc"},
                         {Ok("b", "Location: /y\r\n")},
                         {"HTTP/1.1 404 Not Found\r\nContent-Length: 20\r\n\r\n" + std::string(20, 'n')},
                         {"HTTP/1.1 304 Not Modified\r\nContent-Length: 0\r\n\r\n"},
                         {Ok("fine")}}});
  THttpClient client;
  auto e = Catch<ENetHTTPProtocolException>([&] { client.HttpGetText(server.Url("/1")); });
  EXPECT_STREQ(e.what(), "HTTP/1.1 302 Found");
  EXPECT_EQ(e.StatusCode, 302);
  EXPECT_EQ(e.ResponseBody, "abc");
  e = Catch<ENetHTTPProtocolException>([&] { client.HttpGetText(server.Url("/2")); });
  EXPECT_STREQ(e.what(), "HTTP/1.1 200 OK");
  EXPECT_EQ(e.StatusCode, 200);
  e = Catch<ENetHTTPProtocolException>([&] { client.HttpGetText(server.Url("/3")); });
  EXPECT_EQ(e.StatusCode, 404);
  EXPECT_EQ(e.ResponseBody, std::string(20, 'n'));
  e = Catch<ENetHTTPProtocolException>([&] { client.HttpGetText(server.Url("/4")); });
  EXPECT_EQ(e.StatusCode, 304);
  // All of it on one kept connection: a protocol error reads its body and stays in step.
  EXPECT_EQ(client.HttpGetText(server.Url("/5")), "fine");
  EXPECT_EQ(server.Connections(), 1);
}

TEST(HttpReply, ProtocolErrorBodyThatNeverComesTimesOut) {
  TScriptServer server({{{"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 20\r\n\r\nabc", TAfter::Hang}}});
  THttpClient client;
  auto e = Catch<ENetReadTimeout>([&] { client.HttpGetText(server.Url("/")); });
  EXPECT_STREQ(e.what(), "Read Timeout");
}

TEST(HttpReply, ClosesBeforeOrInsideTheHeaderBlock) {
  TScriptServer server({{{"", TAfter::Close}},
                        {{"HTTP/1.1 200 O", TAfter::Close}},
                        {{"HTTP/1.1 200 OK\r\n", TAfter::Close}},
                        {{"HTTP/1.1 200 OK\r\nServer: x\r\n", TAfter::Close}},
                        {{"HTTP/1.1 404 Not Found\r\nServer: x\r\n", TAfter::Close}},
                        {{Ok("again")}}});
  THttpClient client;
  for (int i = 0; i < 3; ++i) {
    auto e = Catch<ENetConnClosedGracefully>([&] { client.HttpGetText(server.Url("/")); });
    EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
  }
  // After a header line the close ends the block: a 2xx then has nothing to stand on.
  auto e = Catch<ENetUndefinedSituation>([&] { client.HttpGetText(server.Url("/")); });
  EXPECT_STREQ(e.what(), "Undefined situation");
  EXPECT_EQ(e.Reason, TReason::ClosedAfterHeaders);
  EXPECT_EQ(Catch<ENetHTTPProtocolException>([&] { client.HttpGetText(server.Url("/")); }).StatusCode, 404);
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "again");
}

TEST(HttpReply, HostileRepliesEndWithAnError) {
  std::string endlessHeaders = "HTTP/1.1 200 OK\r\n";
  while (endlessHeaders.size() < (2u << 20)) endlessHeaders += "X-Filler: " + std::string(100, 'f') + "\r\n";
  std::string endlessInterim;
  while (endlessInterim.size() < (2u << 20)) endlessInterim += "HTTP/1.1 100 Continue\r\n\r\n";
  TScriptServer server({
      {{endlessInterim, TAfter::Close}},
      {{"HTTP/1.1 200 " + std::string(20000, 'x') + "\r\n\r\n", TAfter::Close}},
      {{endlessHeaders, TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(40000, '1'), TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFFFFFF\r\nabc", TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", TAfter::Hang}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000\r\n\r\nabc", TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 9000000000000000000\r\n\r\nabc", TAfter::Hang}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\nrest", TAfter::Close}},
  });
  THttpClient client;
  client.ReadTimeout = 300;
  for (int i = 0; i < 4; ++i) {
    auto e = Catch<ENetMaxLineLengthExceeded>([&] { client.HttpGetText(server.Url("/")); });
    EXPECT_STREQ(e.what(), "Max line length exceeded.");
  }
  // A chunk beyond the address space is read until the close cuts it short.
  Catch<ENetConnClosedGracefully>([&] { client.HttpGetText(server.Url("/")); });
  // A negative length says nothing of where the body ends: an error at once, whether the
  // server closes or goes silent.
  for (int i = 0; i < 2; ++i) {
    auto e = Catch<ENetUndefinedSituation>([&] { client.HttpGetText(server.Url("/")); });
    EXPECT_STREQ(e.what(), "Undefined situation");
    EXPECT_EQ(e.Reason, TReason::BadContentLength);
  }
  // A huge length reserves nothing up front: into a stream a close ends it short; for a
  // text result it is beyond the limit and ends at once.
  TStringStream stream;
  client.HttpGetStream(server.Url("/"), stream);
  EXPECT_EQ(stream.Data(), "abc");
  auto huge = Catch<ENetUndefinedSituation>([&] { client.HttpGetText(server.Url("/")); });
  EXPECT_STREQ(huge.what(), "Undefined situation");
  EXPECT_EQ(huge.Reason, TReason::BadContentLength);
  // An unreadable length counts as none: the body runs to the close.
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "rest");
}

TEST(HttpReply, TextResultsStopAtTheirLimitStreamsDoNot) {
  const std::string body(1000, 'b');
  std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (int i = 0; i < 10; ++i) chunked += "64\r\n" + std::string(100, 'c') + "\r\n";
  chunked += "0\r\n\r\n";
  TScriptServer server({
      {{"HTTP/1.1 200 OK\r\n\r\n" + body, TAfter::Close}},
      {{chunked}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + body}},
      {{"HTTP/1.1 200 OK\r\n\r\n" + body, TAfter::Close}},
      {{"HTTP/1.1 200 OK\r\n\r\n" + body, TAfter::Close}},
  });
  THttpClient client;
  client.MaxTextBody = 999;
  // A body that grows past the limit, and one announced beyond it.
  for (TReason reason : {TReason::TextBodyTooLarge, TReason::TextBodyTooLarge, TReason::BadContentLength}) {
    auto e = Catch<ENetUndefinedSituation>([&] { client.HttpGetText(server.Url("/")); });
    EXPECT_STREQ(e.what(), "Undefined situation");
    EXPECT_EQ(e.Reason, reason);
  }
  TStringStream stream;
  client.HttpGetStream(server.Url("/"), stream);
  EXPECT_EQ(stream.Data(), body);
  client.MaxTextBody = 1000;
  EXPECT_EQ(client.HttpGetText(server.Url("/")), body);
}

TEST(HttpReply, FoldedHeaderLinesBelongToTheLineBefore) {
  TScriptServer server({{{"HTTP/1.1 200 OK\r\nConnection:\r\n  close\r\nX-Long: a\r\n\tb\r\nContent-Length: 1\r\n\r\n1"},
                         {Ok("never")}},
                        {{Ok("2")}}});
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "1");
  EXPECT_EQ(client.Response.RawHeaders.Values("X-Long"), "a b");
  // The folded "close" ends the connection: the next request opens another.
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "2");
  EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpConnection, KeepAliveReuseAndItsEnd) {
  TScriptServer server({
      {{Ok("a")}, {Ok("b")}},
      {{Ok("posted", "Connection: keep-alive\r\n")}, {Ok("c", "Connection: close\r\n")}},
      {{Ok("d")}, {Ok("e"), TAfter::Close}},
      {{Ok("f")}},
  });
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/1")), "a");
  EXPECT_EQ(client.HttpGetText(server.Url("/2")), "b");
  EXPECT_EQ(server.Connections(), 1);
  std::vector<std::string> form = {"k=v"};
  EXPECT_EQ(client.HttpPostForm(server.Url("/post"), form), "posted");
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_TRUE(server.WaitClosed(0));
  // The POST left Connection: keep-alive in the request record, and 1.1 is back.
  EXPECT_EQ(client.HttpGetText(server.Url("/3")), "c");
  EXPECT_EQ(client.HttpGetText(server.Url("/4")), "d");
  EXPECT_EQ(client.HttpGetText(server.Url("/5")), "e");
  EXPECT_TRUE(server.WaitClosed(2));
  // The server closed the kept connection meanwhile: a new one is made.
  EXPECT_EQ(client.HttpGetText(server.Url("/6")), "f");
  EXPECT_EQ(server.Connections(), 4);
  std::string second = server.Received(1);
  EXPECT_EQ(second.substr(second.find("k=v") + 3), GetRequest(server, "/3", "1.1", "Connection: keep-alive\r\n"));
}

TEST(HttpConnection, BytesBeyondAKeptReplyAreNotTakenForTheNextOne) {
  TScriptServer server({{{Ok("a") + "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nstray"}}, {{Ok("b")}}});
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/1")), "a");
  EXPECT_EQ(client.HttpGetText(server.Url("/2")), "b");
  EXPECT_EQ(server.Connections(), 2);
}

TEST(HttpConnection, FailedPostLeavesTheObjectOnOneZero) {
  TScriptServer server({{{"HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", TAfter::Close}}, {{Ok("g")}}});
  THttpClient client;
  std::vector<std::string> form = {"a=1"};
  EXPECT_EQ(Catch<ENetHTTPProtocolException>([&] { client.HttpPostForm(server.Url("/p"), form); }).StatusCode, 500);
  EXPECT_EQ(client.HttpGetText(server.Url("/g")), "g");
  EXPECT_EQ(server.Received(1), GetRequest(server, "/g", "1.0", "Connection: keep-alive\r\n"));
}

TEST(HttpConnection, StreamGetsTheBodyAsItArrives) {
  std::string big(300000, 'z');
  for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
  TScriptServer server({{{Ok(big)}, {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n"}}});
  THttpClient client;
  TStringStream stream;
  client.HttpGetStream(server.Url("/big"), stream);
  EXPECT_EQ(stream.Data(), big);
  client.HttpGetStream(server.Url("/more"), stream);
  EXPECT_EQ(stream.Data(), big + "abc");
}

TEST(HttpErrors, RefusedAndUnknownHost) {
  THttpClient client;
  auto refused = Catch<ENetSocketError>([&] { client.HttpGetText("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/"); });
  EXPECT_EQ(refused.SocketErrorCode, 10061);
  EXPECT_STREQ(refused.what(), "Socket Error # 10061\r\nConnection refused.");
  auto unknown = Catch<ENetSocketError>([&] { client.HttpGetText("http://no-such-host.invalid/"); });
  EXPECT_EQ(unknown.SocketErrorCode, 11001);
  EXPECT_STREQ(unknown.what(), "Socket Error # 11001\r\nHost not found.");
  // https goes through the same connect.
  auto tls = Catch<ENetSocketError>([&] { client.HttpGetText("https://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/"); });
  EXPECT_EQ(tls.SocketErrorCode, 10061);
}

TEST(HttpErrors, ResetAndUnknownErrorNumbers) {
  TScriptServer server({{{"", TAfter::Reset}}, {{Ok("after")}}});
  THttpClient client;
  auto reset = Catch<ENetSocketError>([&] { client.HttpGetText(server.Url("/")); });
  EXPECT_EQ(reset.SocketErrorCode, 10054);
  EXPECT_STREQ(reset.what(), "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(client.HttpGetText(server.Url("/")), "after");
  // An errno without a Windows counterpart keeps its own number and gets no borrowed text.
  EXPECT_EQ(SocketErrorFromErrno(ECONNABORTED), 10053);
  for (int err : {EIO, ENODATA, EDEADLK}) EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(err)), "") << err;
}

TEST(HttpErrors, ConnectThatGetsNoAnswerTimesOut) {
  TFullListener listener;
  THttpClient client;
  client.ConnectTimeout = 300;
  auto e = Catch<ENetConnectTimeout>([&] { client.HttpGetText("http://127.0.0.1:" + std::to_string(listener.Port()) + "/"); });
  EXPECT_STREQ(e.what(), "Connect timed out.");
}

// Servers that drip their replies, each drip 30 s to its end: the head must come within
// ReadTimeout in all, a body must bring 1024 bytes every ReadTimeout, and a protocol
// error's body must come within 2000 ms in all. A slow but steady body goes through.
TEST(HttpErrors, DrippingRepliesEndWithReadTimeoutSteadyBodiesGoOn) {
  using TClock = std::chrono::steady_clock;
  const std::string filler = "X-Filler: " + std::string(250, 'f') + "\r\n";
  const std::string steady(16384, 's');
  TScriptServer server({
      {{"", TAfter::Close, true, "HTTP/1.1 200 OK\r\n" + filler + "Content-Length: 2\r\n\r\nok", 100}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 300\r\n\r\n", TAfter::Close, true, std::string(300, 'd'), 100}},
      {{"HTTP/1.1 500 Internal Server Error\r\nContent-Length: 300\r\n\r\n", TAfter::Close, true,
        std::string(300, 'e'), 100}},
      {{"HTTP/1.1 200 OK\r\nContent-Length: 16384\r\n\r\n", TAfter::Close, true, steady, 150, 2048}},
  });
  THttpClient client;
  client.ReadTimeout = 800;
  auto secondsOf = [](const std::function<void()>& call) {
    auto start = TClock::now();
    Catch<ENetReadTimeout>(call);
    return std::chrono::duration<double>(TClock::now() - start).count();
  };
  EXPECT_LT(secondsOf([&] { client.HttpGetText(server.Url("/head")); }), 10);
  TStringStream stream;
  EXPECT_LT(secondsOf([&] { client.HttpGetStream(server.Url("/body"), stream); }), 10);
  client.ReadTimeout = 60000;
  EXPECT_LT(secondsOf([&] { client.HttpGetText(server.Url("/error")); }), 10);
  // 1.2 s for the whole body, more than ReadTimeout, in pieces well within it.
  client.ReadTimeout = 800;
  EXPECT_EQ(client.HttpGetText(server.Url("/steady")), steady);
}

TEST(HttpErrors, SilentServerEndsWithReadTimeout) {
  TScriptServer server({{{"", TAfter::Hang}}, {{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", TAfter::Hang}}});
  THttpClient client;
  client.ReadTimeout = 200;
  Catch<ENetReadTimeout>([&] { client.HttpGetText(server.Url("/")); });
  Catch<ENetReadTimeout>([&] { client.HttpGetText(server.Url("/")); });
  EXPECT_EQ(server.Connections(), 2);
}
