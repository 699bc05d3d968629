#include "demosite/opsoptions.h"

#include <optional>

#include "demosite/routes.h"

namespace {

std::optional<OpsService> ServiceNamed(const std::string& name) {
  for (int i = 0; i < kOpsServiceCount; ++i)
    if (name == OpsServiceName(OpsService(i))) return OpsService(i);
  return std::nullopt;
}

// "NAME<sep>REST" split at the first separator.
bool Split(const std::string& v, char sep, std::string& name, std::string& rest) {
  size_t at = v.find(sep);
  if (at == std::string::npos || at == 0) return false;
  name = v.substr(0, at);
  rest = v.substr(at + 1);
  return true;
}

}  // namespace

const char* OpsServiceName(OpsService service) {
  static const char* const names[] = {"images", "inpadoc", "other", "retrieval", "search"};
  return names[int(service)];
}

int ReadOpsSwitch(int argc, char** argv, int i, OpsOptions& o) {
  std::string a = argv[i];
  if (a.rfind("--ops-", 0) != 0 && a != "--ca-out") return 0;
  if (a == "--ops-english-index") {
    o.englishIndex = true;
    return 1;
  }
  if (i + 1 >= argc) return -1;
  const std::string v = argv[i + 1];
  auto number = [](const std::string& s, int& out) { return (out = ToInt(s, -1)) >= 0; };
  bool ok = true;
  std::string name, rest;
  if (a == "--ops-port") {
    ok = number(v, o.port) && o.port <= 65535;
  } else if (a == "--ca-out") {
    o.caOut = v;
  } else if (a == "--ops-key" || a == "--ops-secret") {
    (a == "--ops-key" ? o.key : o.secret) = v;
    ok = !v.empty();
  } else if (a == "--ops-state") {
    o.state = v;
    ok = v == "idle" || v == "busy" || v == "overloaded";
  } else if (a == "--ops-token-life") {
    ok = number(v, o.tokenLife) && o.tokenLife > 0;
  } else if (a == "--ops-revoke-after") {
    ok = number(v, o.revokeAfter) && o.revokeAfter > 0;
  } else if (a == "--ops-today") {
    std::string digits;
    for (char c : v)
      if (c != '-') digits += c;
    int day = digits.size() == 8 ? ToInt(digits, -1) : -1;
    ok = day >= 19850101 && day <= 20991231 && day / 100 % 100 >= 1 && day / 100 % 100 <= 12 && day % 100 >= 1 &&
         day % 100 <= 31;
    o.today = day;
  } else if (a == "--ops-hits") {
    ok = v == "publications" || v == "applications";
    o.publicationHits = v == "publications";
  } else if (a == "--ops-extra") {
    ok = number(v, o.extra);
  } else if (a == "--ops-refuse") {
    o.refuse.push_back(v);
    ok = !v.empty();
  } else if (a == "--ops-limit" || a == "--ops-colour") {
    auto service = Split(v, '=', name, rest) ? ServiceNamed(name) : std::nullopt;
    int limit = 0;
    if (!service) ok = false;
    else if (a == "--ops-colour") ok = rest == "green" || rest == "yellow" || rest == "red" || rest == "black";
    else ok = number(rest, limit) && limit > 0;
    if (ok && a == "--ops-colour") o.colours[*service] = rest;
    if (ok && a == "--ops-limit") o.limits[*service] = limit;
  } else if (a == "--ops-black") {
    std::string after, ms;
    auto service = Split(v, ':', name, rest) && Split(rest, ':', after, ms) ? ServiceNamed(name) : std::nullopt;
    OpsOptions::Black b{OpsService::Other, 0, 0};
    ok = service && number(after, b.after) && number(ms, b.ms);
    if (ok) {
      b.service = *service;
      o.blacks.push_back(b);
    }
  } else if (a == "--ops-quota") {
    ok = Split(v, ':', name, rest) && (name == "hour" || name == "week") && number(rest, o.quotaAfter);
    o.quotaWeekly = name == "week";
  } else {
    // DOC:N switches
    int n = 0;
    ok = Split(v, ':', name, rest) && number(rest, n);
    if (!ok) return -1;
    if (a == "--ops-lie-count") o.lyingCounts[name] = n;
    else if (a == "--ops-missing-page") o.pageFaults.push_back({OpsPageFault::Missing, name, n});
    else if (a == "--ops-bad-page") o.pageFaults.push_back({OpsPageFault::NotTiff, name, n});
    else if (a == "--ops-two-page") o.pageFaults.push_back({OpsPageFault::TwoPages, name, n});
    else ok = false;
  }
  return ok ? 2 : -1;
}
