#include <gtest/gtest.h>

#include "http/httpclient.h"
#include "scriptserver.h"

using TAfter = TScriptServer::TAfter;

namespace {

const std::string kAgent = "User-Agent: Mozilla/3.0 (compatible; Varnolt)\r\n";

std::string GetRequest(const std::string& target, const std::string& host, const std::string& extra = "") {
  return "GET " + target + " HTTP/1.1\r\n" + extra + "Host: " + host + "\r\nAccept: text/html, */*\r\n" + kAgent + "\r\n";
}

std::string Ok(const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string HostOf(const TScriptServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

}  // namespace

TEST(HttpExchange, GetSendsExactRequestAndReadsCountedBody) {
  TScriptServer server({{{Ok("hello")}}});
  THttpClient client;
  EXPECT_EQ(client.HttpGetText(server.Url("/a/b.jsp?x=1#top")), "hello");
  EXPECT_EQ(server.Received(0), GetRequest("/a/b.jsp?x=1", HostOf(server)));
}
