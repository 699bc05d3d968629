#pragma once
// The OPS role's switches (see main.cpp and demosite/README.md).
#include <map>
#include <string>
#include <vector>

// The services of the throttling header, in its order.
enum class OpsService { Images, Inpadoc, Other, Retrieval, Search };
constexpr int kOpsServiceCount = 5;
const char* OpsServiceName(OpsService service);

// A document of the switches: "CN<number><kind>" (e.g. CN101911042B) or "WO<number>A1".
struct OpsPageFault {
  enum Kind { Missing, NotTiff, TwoPages } kind;
  std::string document;
  int page;
};

struct OpsOptions {
  int port = -1;  // < 0: the role is off; 0: a free port
  std::string caOut;
  std::string key = "demo-key";
  std::string secret = "demo-secret";
  std::string state = "idle";                  // idle, busy or overloaded: the default limits
  std::map<OpsService, int> limits;            // announced and enforced, per 60 s
  std::map<OpsService, std::string> colours;   // shown whatever the use; black turns it away
  struct Black {
    OpsService service;
    int after;  // served requests of the service before it turns black
    int ms;     // how long it stays black
  };
  std::vector<Black> blacks;
  int quotaAfter = -1;       // >= 0: requests served before the quota is exhausted
  bool quotaWeekly = false;  // which quota it is
  int tokenLife = 1199;      // seconds, announced as expires_in and enforced
  int revokeAfter = 0;       // > 0: a token is revoked after carrying this many requests
  std::vector<OpsPageFault> pageFaults;
  std::map<std::string, int> lyingCounts;  // document -> the page count its inquiry gives
  std::vector<std::string> refuse;         // targets holding one answer CLIENT.InvalidReference
  int extra = 0;                           // extra battery records
  int today = 0;                 // YYYYMMDD: the day the corpus stands at; 0: its last day
  bool englishIndex = false;     // ti, ab, ta search the English texts only
  bool publicationHits = true;  // every matching publication a hit, as OPS lists them; false: each application once
};

// Reads the OPS switch at argv[i] (with its value, if it takes one). Returns how many arguments it took:
// 0 when argv[i] is no OPS switch, -1 when its value is missing or wrong.
int ReadOpsSwitch(int argc, char** argv, int i, OpsOptions& options);
