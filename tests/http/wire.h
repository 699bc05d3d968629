#pragma once
// What the client's wire tests share: the exact request bytes a GET sends, a counted 200
// reply, and the catching of one exception kind.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "scriptserver.h"

inline const std::string kTail = "Accept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; Varnolt)\r\n\r\n";

inline std::string HostOf(const TScriptServer& server) { return "127.0.0.1:" + std::to_string(server.Port()); }

inline std::string GetRequest(const TScriptServer& server, const std::string& target, const std::string& version = "1.1",
                              const std::string& before = "") {
  return "GET " + target + " HTTP/" + version + "\r\n" + before + "Host: " + HostOf(server) + "\r\n" + kTail;
}

inline std::string Ok(const std::string& body, const std::string& headers = "") {
  return "HTTP/1.1 200 OK\r\n" + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// The exception call raises, which must be an E.
template <typename E, typename F>
E Catch(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "expected exception not raised";
  throw std::logic_error("no exception");
}
