// The client against a real server: nginx on loopback, started by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "base/stream.h"
#include "http/httpclient.h"
#include "tests/support/nginx.h"
#include "tests/support/peakrss.h"
#include "tests/support/testca.h"

namespace {

// Bytes that differ from file to file and from position to position, so that a body
// shifted, cut or mixed with another is noticed.
std::string Pattern(size_t size, unsigned seed) {
  std::string out(size, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1664525u + 1013904223u;
    out[i] = static_cast<char>(x >> 24);
  }
  return out;
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every request on one connection: its serial is the same on each line and its request
// count runs from 1 up. nginx logs a request after its reply went out, so the last line
// may come a moment after the client has read that reply.
void ExpectOneConnection(const NginxPeer& nginx, int requests) {
  std::string text;
  for (int wait = 0; wait < 200; ++wait) {
    text = nginx.AccessLog();
    if (std::count(text.begin(), text.end(), '\n') >= requests) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::istringstream log(text);
  std::string first;
  int n = 0;
  for (std::string line; std::getline(log, line); ++n) {
    std::istringstream fields(line);
    std::string serial;
    int count = 0;
    fields >> serial >> count;
    if (n == 0) first = serial;
    EXPECT_EQ(serial, first) << line;
    EXPECT_EQ(count, n + 1) << line;
  }
  EXPECT_EQ(n, requests);
}

class HttpNginx : public ::testing::Test {
 protected:
  void SetUp() override {
    if (NginxBinary().empty()) GTEST_SKIP() << "nginx is not installed (scripts/install-deps installs it)";
  }
  TempDir root_;
};

}  // namespace

TEST_F(HttpNginx, ManyRequestsShareOneKeptConnection) {
  const int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) WriteFile(root_.File("f" + std::to_string(i) + ".html").Bytes(), Pattern(i * 997, i));
  NginxPeer nginx(root_.Path().Bytes());
  THttpClient client;
  int requests = 0;
  for (int round = 0; round < 5; ++round) {
    for (int i = 0; i < kFiles; ++i, ++requests)
      ASSERT_EQ(client.HttpGetText(nginx.Url("/f" + std::to_string(i) + ".html")), Pattern(i * 997, i)) << i;
    // A 404 reads its body and leaves the connection in step for the next request.
    try {
      client.HttpGetText(nginx.Url("/missing.html"));
      ADD_FAILURE() << "no error for a missing file";
    } catch (const ENetHTTPProtocolException& e) {
      EXPECT_EQ(e.StatusCode, 404);
      EXPECT_EQ(std::string(e.what()), "HTTP/1.1 404 Not Found");
      EXPECT_NE(e.ResponseBody.find("404 Not Found"), std::string::npos);
    }
    ++requests;
  }
  ExpectOneConnection(nginx, requests);
}

TEST_F(HttpNginx, LargeBodyStreamsIntoAFileWithFlatMemory) {
  const size_t kSize = 48u << 20;
  const std::string body = Pattern(kSize, 7);
  WriteFile(root_.File("page.tif").Bytes(), body);
  NginxPeer nginx(root_.Path().Bytes());
  THttpClient client;
  std::string target = root_.File("copy.tif").Bytes();
  bool measured = ResetPeakRss();
  long before = CurrentRssKb();
  {
    TFileStream file(TPath::FromSystem(target));
    client.HttpGetStream(nginx.Url("/page.tif"), file);
    file.Close();
  }
  long peak = PeakRssKb();
  EXPECT_EQ(client.Response.ContentLength, static_cast<int64_t>(kSize));
  EXPECT_TRUE(ReadFile(target) == body) << "the file differs from the served body";
  // The body passes through in receive-sized pieces: memory stays far below its size.
  if (measured && before > 0 && peak > 0)
    EXPECT_LT(peak - before, 4 * 1024) << "peak grew by " << (peak - before) << " KiB for a 48 MiB body";
  else
    ADD_FAILURE() << "peak resident memory cannot be measured here";
}

// Over TLS to a real server: small pages and a large body on one connection, each intact.
TEST_F(HttpNginx, TlsKeepsOneConnectionForPagesAndALargeBody) {
  TTestCert cert = TrustedTestCa().Issue({"localhost"}, {"127.0.0.1"});
  const int kFiles = 30;
  for (int i = 0; i < kFiles; ++i) WriteFile(root_.File("f" + std::to_string(i) + ".html").Bytes(), Pattern(i * 1499, i));
  const std::string body = Pattern(24u << 20, 9);
  WriteFile(root_.File("page.tif").Bytes(), body);
  NginxPeer nginx(root_.Path().Bytes(), &cert);
  THttpClient client;
  for (int i = 0; i < kFiles; ++i)
    ASSERT_EQ(client.HttpGetText(nginx.TlsUrl("/f" + std::to_string(i) + ".html")), Pattern(i * 1499, i)) << i;
  std::string target = root_.File("copy.tif").Bytes();
  {
    TFileStream file(TPath::FromSystem(target));
    client.HttpGetStream(nginx.TlsUrl("/page.tif"), file);
    file.Close();
  }
  EXPECT_TRUE(ReadFile(target) == body) << "the file differs from the served body";
  ExpectOneConnection(nginx, kFiles + 1);
}
