// Cookie parsing and the Internet-date reader, on any reply. Byte 0 picks the local time
// zone; then lines: the request host, the request path, and Set-Cookie values (a line
// starting with "2" is a Set-Cookie2 value). Bytes 1 to 8 also read as a moment.
// What must hold: the store keeps its limits and builds a Cookie header without CR, LF or
// NUL; a date the reader takes is written and read back as the same moment; and any
// moment from 1970 to the cap of Max-Age is written in the local zone as a date the reader
// takes back unchanged, so a long-lived cookie never counts as expired.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "http/cookies.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

// The last moment a Max-Age gives, and the first the reader takes with a day to spare.
constexpr std::time_t kLastExpiry = 253402300799 - 86400;
constexpr std::time_t kFirstReadable = -11644473600 + 86400;

void CheckRoundTrip(std::time_t when) {
  std::time_t back = 0;
  FUZZ_CHECK(ParseInternetDate(FormatInternetDate(when), back));
  FUZZ_CHECK(back == when);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9) return 0;
  // POSIX zone texts: no zone database needed; as far east and west as zones go.
  static const char* const kZones[] = {"UTC0", "CST-8", "LINT-14", "NPT-5:45", "PST8", "BIT12"};
  static int zone = -1;
  if (zone != data[0] % 6) {
    zone = data[0] % 6;
    setenv("TZ", kZones[zone], 1);
    tzset();
  }
  int64_t moment;
  std::memcpy(&moment, data + 1, sizeof moment);
  CheckRoundTrip(static_cast<std::time_t>(static_cast<uint64_t>(moment) % static_cast<uint64_t>(kLastExpiry + 1)));

  std::vector<std::string> lines;
  const std::string text = FuzzBytes(data + 9, size - 9);
  for (size_t at = 0; at <= text.size();) {
    size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  const std::string host = lines[0];
  const std::string path = lines.size() > 1 ? lines[1] : "/";
  THeaderList headers;
  for (size_t i = 2; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '2')
      headers.Add("Set-Cookie2", line.substr(1));
    else
      headers.Add("Set-Cookie", line);
    std::time_t when = 0;
    if (ParseInternetDate(line, when) && when >= kFirstReadable && when <= kLastExpiry) CheckRoundTrip(when);
  }
  TCookieStore store;
  store.StoreReplyCookies(host, headers);
  FUZZ_CHECK(store.Count() <= TCookieStore::kMaxCookies && store.Count() <= lines.size());
  const std::string header = store.CookieHeaderFor(host, path, false);
  FUZZ_CHECK(header.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
  return 0;
}
