#include "tests/fuzz/fuzzcheck.h"

#include <vector>

#include "http/netexceptions.h"
#include "http/requestwriter.h"
#include "http/uri.h"

void CheckRequestHeadFor(const std::string& url) {
  const std::string breaks("\r\n\0", 3);
  TUri uri = ParseUri(url);
  THttpRequest request;
  request.Host = uri.Port.empty() || uri.Port == "80" ? uri.Host : uri.Host + ":" + uri.Port;
  const std::string target = uri.Path + uri.Document + uri.Params;
  std::string head;
  try {
    head = RequestHead(THttpMethod::Get, target, THttpVersion::http11, request, "");
  } catch (const ENetUnsafeRequest&) {
    FUZZ_CHECK((target + request.Host).find_first_of(breaks) != std::string::npos);
    return;
  }
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = head.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(head.substr(at, end - at));
  FUZZ_CHECK(at == head.size());
  FUZZ_CHECK(lines.size() >= 3 && lines.back().empty());
  FUZZ_CHECK(lines[0] == "GET " + target + " HTTP/1.1");
  for (size_t i = 0; i < lines.size(); ++i) {
    FUZZ_CHECK(lines[i].find_first_of(breaks) == std::string::npos);
    if (i > 0 && i + 1 < lines.size()) FUZZ_CHECK(lines[i][0] == ' ' || Contains(lines[i], ": "));
  }
}
