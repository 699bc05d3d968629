// The site operations on the wire: the exact requests they send, and every operation
// against the demo site started on a free port.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "base/gbk.h"
#include "http/httpclient.h"
#include "sources/site/siteops.h"
#include "tests/support/demosite.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// Accepts one connection on a free loopback port, records the request (header block and
// Content-Length body) and answers with the given reply bytes, then closes.
class OneShotServer {
 public:
  explicit OneShotServer(std::string reply) : reply_(std::move(reply)) {
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listen_, 1);
    getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~OneShotServer() {
    if (thread_.joinable()) thread_.join();
    close(listen_);
  }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // The request as received; call after the operation returned.
  std::string Request() {
    if (thread_.joinable()) thread_.join();
    return request_;
  }

 private:
  void Serve() {
    pollfd p{listen_, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return;  // bounded: a test that sends nothing still ends
    int c = accept(listen_, nullptr, nullptr);
    timeval tv{10, 0};
    setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    char buf[4096];
    for (;;) {
      size_t end = request_.find("\r\n\r\n");
      if (end != std::string::npos) {
        size_t cl = request_.find("Content-Length: ");
        size_t want = cl == std::string::npos || cl > end ? 0 : size_t(atol(request_.c_str() + cl + 16));
        if (request_.size() >= end + 4 + want) break;
      }
      ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      request_.append(buf, size_t(n));
    }
    send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
    close(c);
  }

  std::string reply_;
  std::string request_;
  int listen_ = -1;
  int port_ = 0;
  std::thread thread_;
};

std::string HeaderValue(const std::string& request, const std::string& name) {
  size_t p = request.find("\r\n" + name + ": ");
  if (p == std::string::npos) return "<missing>";
  p += name.size() + 4;
  return request.substr(p, request.find("\r\n", p) - p);
}

std::string BodyOf(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

void PointAt(const std::string& search, const std::string& portal) {
  SiteHosts h = Hosts();
  h.SearchHost = search;
  h.PortalHost = portal;
  SetHosts(h);
}

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\nhello";

TEST(SiteRequests, ResultListFormOnTheWire) {
  SiteHosts before = Hosts();
  OneShotServer server(kOk);
  PointAt(server.Address(), "portal.example:81");
  EXPECT_EQ(PostResultList("100", G("名称=(电池) ")), "hello");
  std::string req = server.Request();
  SetHosts(before);
  EXPECT_EQ(req.substr(0, req.find("\r\n")), "POST /sipo/zljs/hyjs-jieguo.jsp HTTP/1.0");
  EXPECT_EQ(HeaderValue(req, "Referer"), "http://portal.example:81/sipo/zw_left.htm");
  EXPECT_EQ(HeaderValue(req, "Accept-Language"), "zh-cn");
  EXPECT_EQ(HeaderValue(req, "Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(BodyOf(req), "recshu=100&searchword=%C3%FB%B3%C6=(%B5%E7%B3%D8)%20&selectbase=0&flag3=1&sign=0&pg=1");
}

TEST(SiteRequests, LegalStatusFormOnTheWire) {
  SiteHosts before = Hosts();
  std::string page = "<table><tr><td align=left colspan=\"4\"  >" + G("授权") + "</td></tr></table>";
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page);
  PointAt(server.Address(), "unused");
  EXPECT_EQ(FetchLegalStatus("02123456"), G("授权"));
  std::string req = server.Request();
  SetHosts(before);
  EXPECT_EQ(req.substr(0, req.find("\r\n")), "POST /sipo/zljs/FlztResult.jsp HTTP/1.0");
  EXPECT_EQ(HeaderValue(req, "Referer"), "http://" + server.Address() + "/sipo/zljs/searchflzt.jsp");
  EXPECT_EQ(HeaderValue(req, "Accept-Language"), "zh-cn");
  EXPECT_EQ(HeaderValue(req, "Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(BodyOf(req),
            "textfield1=02123456&textfield4=&textfield5=&submit1=%C8%B7%B6%A8&searchword=%C9%EA%C7%EB%BA%C5=02123456%25");
}

TEST(SiteRequests, DetailPageSendsTheLinkByteForByteWithoutExtraHeaders) {
  SiteHosts before = Hosts();
  OneShotServer server(kOk);
  PointAt(server.Address(), "unused");
  std::string link = "hyjs-yx-new.jsp?recid=CN02123456.6&leixin=fmzl&title=" + G("电池") + "&ipc=H01M2/16&";
  EXPECT_EQ(FetchDetailPage(link), "hello");
  std::string req = server.Request();
  SetHosts(before);
  EXPECT_EQ(req.substr(0, req.find("\r\n")), "GET /sipo/zljs/" + link + " HTTP/1.1");
  EXPECT_EQ(HeaderValue(req, "Referer"), "<missing>");
  EXPECT_EQ(HeaderValue(req, "Content-Type"), "<missing>");
}

TEST(SiteRequests, ClientFailuresReachTheCaller) {
  SiteHosts before = Hosts();
  {
    OneShotServer server("HTTP/1.1 302 Found\r\nLocation: /x\r\nContent-Length: 0\r\n\r\n");
    PointAt(server.Address(), "unused");
    EXPECT_THROW(PostResultList("1", "x"), ENetHTTPProtocolException);
  }
  int s = socket(AF_INET, SOCK_STREAM, 0);  // a port nobody listens on
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
  PointAt("127.0.0.1:" + std::to_string(ntohs(addr.sin_port)), "unused");
  EXPECT_THROW(FetchDetailPage("x.jsp"), ENetException);
  EXPECT_THROW(FetchLegalStatus("02123456"), ENetException);
  close(s);
  SetHosts(before);
}

class SiteOpsOnDemoSite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new DemoSite(); }
  static void TearDownTestSuite() { delete site_; }
  static DemoSite* site_;
};
DemoSite* SiteOpsOnDemoSite::site_ = nullptr;

TEST_F(SiteOpsOnDemoSite, TitleSearchGivesCountAndOneLinkPerRecord) {
  std::string page = PostResultList("100", G("名称=(电池) "));
  EXPECT_EQ(ReadRecordCount(page), 238);
  RecordLinks links(page);
  std::string link;
  int n = 0;
  while (links.Next(link)) {
    ++n;
    EXPECT_NE(TitleFromLink(link).find(G("电池")), std::string::npos) << link;
    std::string number = ApplicationNumberFromLink(link);
    EXPECT_TRUE(number.size() == 8 || number.size() == 12) << link;
    EXPECT_NE(TypeNameOf(number), G("未知"));
    // The whole classification reads back, "/" and all.
    std::string cls = ClassFromLink(link);
    EXPECT_NE(page.find("<td align=\"center\">" + cls + "</td>"), std::string::npos) << cls;
  }
  EXPECT_EQ(n, 100);
}

TEST_F(SiteOpsOnDemoSite, NumberLookupAndDetailPage) {
  std::string page = PostResultList("1", G("申请号=('CN%") + "200510012345" + "%') ");
  EXPECT_EQ(ReadRecordCount(page), 1);
  std::string link = FirstRecordLink(page);
  EXPECT_EQ(ApplicationNumberFromLink(link), "200510012345");
  EXPECT_EQ(TitleFromLink(link), G("一种锂离子电池及其制备方法"));
  EXPECT_EQ(ClassFromLink(link), "H01M10/0525");
  EXPECT_EQ(TypeCodeOf("200510012345"), 1);
  std::string detail = FetchDetailPage(link);
  EXPECT_EQ(AbstractFrom(detail, 1).rfind(G("本发明公开了一种锂离子电池及其制备方法，包括正极片"), 0), 0u);
  EXPECT_EQ(FirstClaimFrom(detail, 1).rfind(G("1．一种锂离子电池，其特征在于"), 0), 0u);
  EXPECT_EQ(PatenteeFrom(detail, 1), G("哈尔滨工业大学"));
}

TEST_F(SiteOpsOnDemoSite, DesignRecordReadsTheDesignPatentee) {
  std::string link = FirstRecordLink(PostResultList("1", G("申请号=('CN%200630012345%') ")));
  ASSERT_EQ(ApplicationNumberFromLink(link), "200630012345");
  int type = TypeCodeOf("200630012345");
  ASSERT_EQ(type, 3);
  std::string detail = FetchDetailPage(link);
  EXPECT_EQ(AbstractFrom(detail, type), G("无"));
  EXPECT_EQ(FirstClaimFrom(detail, type), G("无"));
  std::string patentee = PatenteeFrom(detail, type);
  EXPECT_FALSE(patentee.empty());
  EXPECT_EQ(patentee.find('<'), std::string::npos);
}

TEST_F(SiteOpsOnDemoSite, LegalStatusKeepsTheSitesMarkup) {
  EXPECT_EQ(FetchLegalStatus("200510012345"), G("授权"));
  EXPECT_EQ(FetchLegalStatus("02123456"),
            G("<font color=\"#FF0000\">专利权的终止</font><br>未缴年费专利权终止"));
}

TEST_F(SiteOpsOnDemoSite, NoHitsAndUnknownNumbers) {
  std::string page = PostResultList("1", G("申请号=('CN%99999999%') "));
  EXPECT_EQ(ReadRecordCount(page), 0);
  std::string link;
  EXPECT_FALSE(RecordLinks(page).Next(link));
  // Without a status cell the cut starts at byte 29 of the answer.
  RawReply raw = site_->RawRequest("POST", "/sipo/zljs/FlztResult.jsp", "textfield1=11111111");
  std::string expected = raw.body.substr(28, raw.body.find("</td>", 28) - 28);
  EXPECT_EQ(FetchLegalStatus("11111111"), expected);
}

TEST(SiteOpsFailures, DetailFailureOfOneNumber) {
  DemoSite site({"--fail", "recid=CN02123456"});
  std::string link = FirstRecordLink(PostResultList("1", G("申请号=('CN%02123456%') ")));
  EXPECT_EQ(ApplicationNumberFromLink(link), "02123456");
  try {
    FetchDetailPage(link);
    ADD_FAILURE() << "the failed detail request returned";
  } catch (const ENetHTTPProtocolException& e) {
    EXPECT_EQ(e.StatusCode, 500);
  }
  EXPECT_FALSE(FetchDetailPage(FirstRecordLink(PostResultList("1", G("申请号=('CN%03234567%') ")))).empty());
}

TEST(SiteOpsFailures, ConnectionCutDuringTheAnswer) {
  DemoSite site({"--drop", "textfield1=02123456"});
  EXPECT_THROW(FetchLegalStatus("02123456"), ENetConnClosedGracefully);
  EXPECT_EQ(FetchLegalStatus("03234567"), G("授权"));
}

}  // namespace
