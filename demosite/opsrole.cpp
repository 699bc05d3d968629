#include "demosite/opsrole.h"

#include <httplib.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <deque>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "demosite/cql.h"
#include "demosite/opscorpus.h"
#include "demosite/opsxml.h"
#include "demosite/routes.h"
#include "demosite/tiffpage.h"
#include "demosite/tlscert.h"

namespace {

using Clock = std::chrono::steady_clock;
using httplib::Request;
using httplib::Response;

const char kXml[] = "application/xml;charset=utf-8";
const char kRestPrefix[] = "/3.2/rest-services/";
const char kFairUse[] = "This request has been rejected due to the violation of Fair Use policy";
const char kFairUseInfo[] = "http://www.epo.org/searching/free/espacenet/fair-use.html";

// Requests per 60 s of images, inpadoc, other, retrieval, search in each system state.
int DefaultLimit(const std::string& state, OpsService s) {
  static const int idle[] = {200, 60, 1000, 200, 30}, busy[] = {100, 45, 1000, 100, 15},
                   overloaded[] = {50, 30, 1000, 50, 5};
  const int* limits = state == "busy" ? busy : state == "overloaded" ? overloaded : idle;
  return limits[int(s)];
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

OpsService ServiceOf(const std::string& path) {
  if (StartsWith(path, "/3.2/rest-services/published-data/search")) return OpsService::Search;
  if (StartsWith(path, "/3.2/rest-services/published-data/images/")) return OpsService::Images;
  if (StartsWith(path, "/3.2/rest-services/published-data/")) return OpsService::Retrieval;
  if (StartsWith(path, "/3.2/rest-services/family/") || StartsWith(path, "/3.2/rest-services/legal/"))
    return OpsService::Inpadoc;
  return OpsService::Other;
}

// "key:secret" of a Basic header; empty when it is none.
std::string BasicCredentials(const std::string& header) {
  if (!StartsWith(header, "Basic ")) return "";
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  unsigned bits = 0;
  int count = 0;
  for (char c : header.substr(6)) {
    if (c == '=') break;
    size_t v = alphabet.find(c);
    if (v == std::string::npos) return "";
    bits = (bits << 6) | unsigned(v);
    if ((count += 6) >= 8) {
      count -= 8;
      out += char((bits >> count) & 0xFF);
    }
  }
  return out;
}

// A document reference of a path: docdb "CN.101911042.B[.date]" or epodoc "CN101911042B".
struct Reference {
  std::string country, number, kind;
};

Reference ReferenceOf(const std::string& format, std::string input) {
  std::string clean;
  for (char c : input)
    if (c != '(' && c != ')') clean += c;
  Reference ref;
  if (format == "docdb") {
    std::vector<std::string> parts = SplitAt(clean, '.');
    if (parts.size() >= 2) ref = {parts[0], parts[1], parts.size() >= 3 ? parts[2] : ""};
  } else if (clean.size() > 2) {
    size_t digits = clean.find_first_not_of("0123456789", 2);
    ref = {clean.substr(0, 2), clean.substr(2, digits == std::string::npos ? std::string::npos : digits - 2),
           digits == std::string::npos ? "" : clean.substr(digits)};
  }
  return ref;
}

// The Date header: now, or with `today` (YYYYMMDD) that day at the present time of day,
// so a client that dates its runs by the server sees the role's day.
std::string HttpDate(int today) {
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  time_t now = time(nullptr);
  struct tm t;
  gmtime_r(&now, &t);
  if (today) {
    t.tm_year = today / 10000 - 1900;
    t.tm_mon = today / 100 % 100 - 1;
    t.tm_mday = today % 100;
    time_t day = timegm(&t);  // normalises and sets the weekday
    gmtime_r(&day, &t);
  }
  char buf[64];
  snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[t.tm_wday], t.tm_mday, months[t.tm_mon],
           t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
  return buf;
}

}  // namespace

class OpsRole::Impl {
 public:
  Impl(const OpsOptions& o, const DemoCorpus& corpus, int pages, RequestLog& log, FailureHooks& hooks)
      : opt_(o), corpus_(corpus, o.extra, pages, o.today ? std::min(o.today, kOpsHorizon) : kOpsHorizon), log_(log), hooks_(hooks),
        random_(std::random_device{}()) {
    for (int i = 0; i < kOpsServiceCount; ++i) {
      auto it = o.limits.find(OpsService(i));
      limits_[i] = it != o.limits.end() ? it->second : DefaultLimit(o.state, OpsService(i));
    }
    blackDone_.assign(o.blacks.size(), false);
  }

  ~Impl() {
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
  }

  bool Start() {
    try {
      TlsIdentity id = MakeTlsIdentity();
      if (!opt_.caOut.empty() && !WriteCa(id.caPem)) return Fail("cannot write the CA file " + opt_.caOut);
      server_ = std::make_unique<httplib::SSLServer>(id.leaf.get(), id.leafKey.get());
    } catch (const std::exception& e) {
      return Fail(e.what());
    }
    if (!server_->is_valid()) return Fail("cannot set up TLS");
    SSL_CTX_set_min_proto_version(server_->ssl_context(), TLS1_2_VERSION);
    server_->new_task_queue = [] { return new CountingPool(16); };
    server_->set_keep_alive_max_count(100000);
    server_->set_keep_alive_timeout(30);
    server_->set_tcp_nodelay(true);
    server_->set_payload_max_length(1 << 20);
    server_->set_pre_routing_handler([this](const Request& req, Response&) {
      std::string auth = AuthorizationForLog(req.get_header_value("Authorization"));
      log_.Write(req, &auth);
      return httplib::Server::HandlerResponse::Unhandled;
    });
    auto handler = [this](const Request& req, Response& res) { Handle(req, res); };
    server_->Get(".*", handler);
    server_->Post(".*", handler);
    int port = opt_.port;
    if (port == 0) {
      port = server_->bind_to_any_port("127.0.0.1");
      if (port < 0) return Fail("cannot bind a port on 127.0.0.1");
    } else if (!server_->bind_to_port("127.0.0.1", port)) {
      return Fail("cannot bind 127.0.0.1:" + std::to_string(port));
    }
    printf("ops listening on 127.0.0.1:%d\n", port);
    fflush(stdout);
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
  }

 private:
  struct Issued {
    int serial;
    Clock::time_point expires;
    int uses;
  };

  static bool Fail(const std::string& msg) {
    fprintf(stderr, "varnolt-demosite: ops: %s\n", msg.c_str());
    return false;
  }

  // Whole or not at all: a client that sees the listening line finds the file complete.
  bool WriteCa(const std::string& pem) {
    std::string tmp = opt_.caOut + ".part";
    FILE* f = fopen(tmp.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(pem.data(), 1, pem.size(), f) == pem.size();
    ok = fclose(f) == 0 && ok;
    return ok && rename(tmp.c_str(), opt_.caOut.c_str()) == 0;
  }

  // The scheme, and for a token the number the role gave it ("?" for one it never gave):
  // enough to count renewals, never a credential.
  std::string AuthorizationForLog(const std::string& header) {
    if (header.empty()) return "";
    std::string scheme = header.substr(0, header.find(' '));
    if (scheme != "Bearer" || header.size() <= 7) return scheme;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = tokens_.find(header.substr(7));
    return "Bearer " + (it == tokens_.end() ? std::string("?") : std::to_string(it->second.serial));
  }

  void Handle(const Request& req, Response& res) {
    std::string rawPath = req.target.substr(0, req.target.find('?'));
    std::string path = PercentDecode(rawPath);
    OpsService service = ServiceOf(path);
    switch (hooks_.Check(req)) {
      case FailureHooks::Outcome::Busy:
        res.status = 503;
        res.set_header("Retry-After", "1");
        res.set_content(FaultXml("SERVER.LimitedServerResources", "Please try again later"), kXml);
        break;
      case FailureHooks::Outcome::Fail:
        res.status = 500;
        res.set_content(FaultXml("SERVER.DomainAccess", "EpoqueCommand short-circuited and fallback disabled"), kXml);
        break;
      case FailureHooks::Outcome::Drop:
        FailureHooks::Drop(res, kXml);
        break;
      case FailureHooks::Outcome::Pass:
        if (path == "/3.2/auth/accesstoken")
          AccessToken(req, res);
        else if (StartsWith(path, kRestPrefix))
          Rest(req, res, path.substr(sizeof kRestPrefix - 1), service);
        else
          Fault(res, 404, "CLIENT.NotFound", "The requested resource was not found");
        break;
    }
    Finish(res);
  }

  static void Fault(Response& res, int status, const std::string& code, const std::string& message) {
    res.status = status;
    res.set_content(FaultXml(code, message), kXml);
  }

  static void NotFound(Response& res) { Fault(res, 404, "SERVER.EntityNotFound", "No results found"); }

  // The headers of every reply, whatever its status.
  void Finish(Response& res) {
    std::lock_guard<std::mutex> lock(mutex_);
    bytes_ += long(res.body.size());
    res.set_header("X-API", "ops-v3.2");
    res.set_header("X-Throttling-Control", ThrottleHeader(Clock::now()));
    res.set_header("X-IndividualQuotaPerHour-Used", std::to_string(bytes_));
    res.set_header("X-RegisteredQuotaPerWeek-Used", std::to_string(bytes_));
    res.set_header("Strict-Transport-Security", "max-age=31536000; includeSubDomains");
    res.set_header("Date", HttpDate(opt_.today));
  }

  // ---- access token

  void AccessToken(const Request& req, Response& res) {
    if (req.method != "POST") return Fault(res, 405, "CLIENT.MethodNotAllowed", "Method not allowed");
    std::string credentials = BasicCredentials(req.get_header_value("Authorization"));
    size_t colon = credentials.find(':');
    if (colon == std::string::npos) {
      res.status = 401;
      return res.set_content(ErrorXml("401", "Client identifier is required"), kXml);
    }
    if (credentials.substr(0, colon) != opt_.key || credentials.substr(colon + 1) != opt_.secret) {
      res.status = 401;
      return res.set_content(ErrorXml("401", "invalid_client", "Client credentials are invalid"), kXml);
    }
    bool form = req.get_header_value("Content-Type").find("application/x-www-form-urlencoded") != std::string::npos;
    auto fields = form ? FormFields(req.body, true) : std::map<std::string, std::string>{};
    auto grant = fields.find("grant_type");
    if (grant == fields.end()) {
      res.status = 400;
      return res.set_content(ErrorXml("400", "Required param : grant_type"), kXml);
    }
    if (grant->second != "client_credentials") {
      res.status = 400;
      return res.set_content(ErrorXml("400", "unsupported_grant_type", "Grant type is not supported"), kXml);
    }
    std::string token;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      static const char chars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
      do {
        token.clear();
        for (int i = 0; i < 28; ++i) token += chars[random_() % (sizeof chars - 1)];
      } while (tokens_.count(token));
      tokens_[token] = {++tokenSerial_, Clock::now() + std::chrono::seconds(opt_.tokenLife), 0};
    }
    long issued = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count());
    // Every value a string, as OPS sends them.
    nlohmann::ordered_json reply = {
        {"refresh_token_expires_in", "0"},  {"api_product_list", "[ops-prod]"},
        {"api_product_list_json", {"ops-prod"}}, {"organization_name", "epo"},
        {"developer.email", "developer@example.org"}, {"token_type", "BearerToken"},
        {"issued_at", std::to_string(issued)}, {"client_id", opt_.key},
        {"access_token", token},            {"application_name", "varnolt-demo"},
        {"scope", "core"},                  {"expires_in", std::to_string(opt_.tokenLife)},
        {"refresh_count", "0"},             {"status", "approved"}};
    res.set_content(reply.dump(2), "application/json");
  }

  // Whether the request's bearer token is good; counts the request against it.
  bool UseToken(const std::string& header, Clock::time_point now) {
    if (!StartsWith(header, "Bearer ")) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = tokens_.find(header.substr(7));
    if (it == tokens_.end() || now >= it->second.expires) return false;
    if (opt_.revokeAfter > 0 && it->second.uses >= opt_.revokeAfter) return false;
    ++it->second.uses;
    return true;
  }

  // ---- throttling and quota

  std::string Colour(int s, Clock::time_point now) const {
    if (Black(s, now)) return "black";
    auto forced = opt_.colours.find(OpsService(s));
    if (forced != opt_.colours.end()) return forced->second;
    long used = long(windows_[s].size()) * 100, limit = limits_[s];
    return used < 50 * limit ? "green" : used <= 75 * limit ? "yellow" : "red";
  }

  bool Black(int s, Clock::time_point now) const {
    auto forced = opt_.colours.find(OpsService(s));
    return now < blackUntil_[s] || (forced != opt_.colours.end() && forced->second == "black");
  }

  std::string ThrottleHeader(Clock::time_point now) {
    std::string h = opt_.state + " (";
    for (int s = 0; s < kOpsServiceCount; ++s) {
      Prune(s, now);
      std::string colour = Colour(s, now);
      h += std::string(s ? ", " : "") + OpsServiceName(OpsService(s)) + "=" + colour + ":" +
           std::to_string(colour == "black" ? 0 : limits_[s]);
    }
    return h + ")";
  }

  void Prune(int s, Clock::time_point now) {
    while (!windows_[s].empty() && windows_[s].front() <= now - std::chrono::seconds(60)) windows_[s].pop_front();
  }

  // Admits a request of the service into its 60 s window; when the service is black,
  // returns how long (ms) until it takes requests again.
  long Admit(int s, Clock::time_point now) {
    Prune(s, now);
    for (size_t i = 0; i < opt_.blacks.size(); ++i) {
      const OpsOptions::Black& b = opt_.blacks[i];
      if (int(b.service) == s && !blackDone_[i] && served_[s] >= b.after) {
        blackDone_[i] = true;
        blackUntil_[s] = std::max(blackUntil_[s], now + std::chrono::milliseconds(b.ms));
      }
    }
    // Past the limit the service is suspended until the oldest request leaves the window.
    if (!Black(s, now) && long(windows_[s].size()) >= limits_[s])
      blackUntil_[s] = windows_[s].front() + std::chrono::seconds(60);
    if (Black(s, now)) {
      if (now >= blackUntil_[s]) return 60000;  // forced black
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(blackUntil_[s] - now).count();
      return std::max<long>(1, long(ms));
    }
    windows_[s].push_back(now);
    ++served_[s];
    return 0;
  }

  // ---- the data routes

  void Rest(const Request& req, Response& res, const std::string& rest, OpsService service) {
    Clock::time_point now = Clock::now();
    if (!UseToken(req.get_header_value("Authorization"), now)) {
      res.status = 400;
      res.set_header("WWW-Authenticate",
                     "Bearer realm=\"null\",error=\"invalid_token\",error_description=\"oauth.v2.InvalidAccessToken: "
                     "Invalid access token\"");
      return res.set_content(ErrorXml("400", "invalid_access_token", "Access token is invalid"), kXml);
    }
    long retry = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (opt_.quotaAfter >= 0 && restServed_ >= opt_.quotaAfter) {
        res.status = 403;
        res.set_header("X-Rejection-Reason", opt_.quotaWeekly ? "RegisteredQuotaPerWeek" : "IndividualQuotaPerHour");
        return res.set_content(ErrorXml("403", kFairUse, "", kFairUseInfo), kXml);
      }
      retry = Admit(int(service), now);
      if (!retry) ++restServed_;
    }
    if (retry) {
      res.status = 403;
      res.set_header("Retry-After", std::to_string(retry));
      return res.set_content(ErrorXml("403", kFairUse, "", kFairUseInfo), kXml);
    }
    for (const std::string& text : opt_.refuse)
      if (req.target.find(text) != std::string::npos)
        return Fault(res, 404, "CLIENT.InvalidReference", "The reference provided is invalid");

    std::vector<std::string> seg = SplitAt(rest, '/');
    if (seg.size() >= 2 && seg[0] == "published-data" && seg[1] == "search" && seg.size() <= 3)
      return Search(req, res, seg.size() == 3 ? seg[2] : "");
    if (seg.size() == 6 && seg[0] == "published-data" && seg[1] == "images") return Page(req, res, seg);
    if (seg.size() == 5 && seg[0] == "published-data" && (seg[2] == "docdb" || seg[2] == "epodoc")) {
      if (seg[4] == "images") return seg[1] == "publication" ? Inquiry(res, seg[2], seg[3]) : NotFound(res);
      if (seg[4].find("biblio") != std::string::npos || seg[4].find("abstract") != std::string::npos ||
          seg[4].find("full-cycle") != std::string::npos)
        return Biblio(res, seg[1], seg[2], seg[3]);
    }
    if (seg.size() == 4 && seg[0] == "legal" && (seg[2] == "docdb" || seg[2] == "epodoc"))
      return Legal(res, seg[1], seg[2], seg[3]);
    if ((seg.size() == 4 || seg.size() == 5) && seg[0] == "family" && (seg[2] == "docdb" || seg[2] == "epodoc"))
      return Family(res, seg[1], seg[2], seg[3], seg.size() == 5 ? seg[4] : "");
    Fault(res, 404, "CLIENT.NotFound", "The requested resource was not found");
  }

  // The publications a reference names: with a kind the one, without it all of that number
  // (or of that application).
  std::vector<OpsDocument> Documents(const std::string& type, const std::string& format, const std::string& input) {
    Reference ref = ReferenceOf(format, input);
    std::vector<OpsDocument> docs;
    if (ref.country != "CN" || ref.number.empty() || ref.kind.size() > 1) return docs;
    char kind = ref.kind.empty() ? 0 : ref.kind[0];
    if (type == "publication") return corpus_.FindPublications(ref.number, kind);
    if (type != "application") return docs;
    const OpsRecord* r = corpus_.FindApplication(ref.number);
    // Application kinds: A for every record, also U for utility models and S for designs.
    bool utility = r && (r->type == 2 || r->type == 9);
    if (!r || !(kind == 0 || kind == 'A' || (kind == 'U' && utility) || (kind == 'S' && r->type == 3))) return docs;
    for (const OpsPublication& p : r->publications) docs.emplace_back(r, &p);
    return docs;
  }

  void Biblio(Response& res, const std::string& type, const std::string& format, const std::string& input) {
    std::vector<OpsDocument> docs = Documents(type, format, input);
    if (docs.empty()) return NotFound(res);
    res.set_content(BiblioXml(docs), kXml);
  }

  // The records of the asked one's family, the asked one first.
  std::vector<const OpsRecord*> FamilyOf(const OpsRecord* asked) {
    std::vector<const OpsRecord*> family = {asked};
    for (const OpsRecord* r : corpus_.Family(asked->familyId))
      if (r != asked) family.push_back(r);
    return family;
  }

  void Legal(Response& res, const std::string& type, const std::string& format, const std::string& input) {
    std::vector<OpsDocument> docs = Documents(type, format, input);
    if (docs.empty() || !docs[0].first->hasLegal) return NotFound(res);
    res.set_content(LegalXml(docs[0], FamilyOf(docs[0].first)), kXml);
  }

  // family/{publication|application}/{docdb|epodoc}/<input>[/biblio|legal|biblio,legal]
  void Family(Response& res, const std::string& type, const std::string& format, const std::string& input,
              const std::string& constituents) {
    bool legal = false, biblio = false;
    for (const std::string& c : SplitAt(constituents, ',')) {
      if (c == "legal") legal = true;
      else if (c == "biblio") biblio = true;
      else if (!c.empty()) return Fault(res, 404, "CLIENT.NotFound", "The requested resource was not found");
    }
    std::vector<OpsDocument> docs = Documents(type, format, input);
    if (docs.empty()) return NotFound(res);
    res.set_content(FamilyXml(docs[0], FamilyOf(docs[0].first), legal, biblio), kXml);
  }

  void Inquiry(Response& res, const std::string& format, const std::string& input) {
    std::vector<OpsDocument> docs = Documents("publication", format, input);
    if (docs.size() != 1 || !docs[0].first->hasImages) return NotFound(res);
    auto lie = opt_.lyingCounts.find("CN" + docs[0].second->number + docs[0].second->kind);
    res.set_content(InquiryXml(docs[0], lie == opt_.lyingCounts.end() ? 0 : lie->second), kXml);
  }

  void Search(const Request& req, Response& res, const std::string& constituents) {
    auto params = FormFields(req.target.find('?') == std::string::npos ? "" : req.target.substr(req.target.find('?') + 1),
                             true);
    std::string range = params.count("Range") ? params["Range"] : req.get_header_value("X-OPS-Range");
    if (range.empty()) range = "1-25";
    size_t dash = range.find('-');
    int begin = dash == std::string::npos ? -1 : ToInt(range.substr(0, dash), -1);
    int end = dash == std::string::npos ? -1 : ToInt(range.substr(dash + 1), -1);
    bool rangeOk = begin >= 1 && end >= begin && end - begin < 100 && end <= 2000;
    std::vector<OpsDocument> hits;
    try {
      CqlQuery query(params["q"], {.englishOnly = opt_.englishIndex});
      if (!rangeOk) return Fault(res, 400, "CLIENT.InvalidQuery", "The request was invalid");
      if (opt_.publicationHits) {
        for (const OpsDocument& d : corpus_.Publications())
          if (query.Matches(*d.first, d.second)) hits.push_back(d);
      } else {
        for (const OpsRecord& r : corpus_.Records())
          if (query.Matches(r)) hits.emplace_back(&r, &r.Latest());
      }
    } catch (const CqlError& e) {
      return Fault(res, 400, e.UnknownIndex() ? "CLIENT.InvalidIndex" : "CLIENT.CQL", e.what());
    }
    int total = int(hits.size());
    if (begin > total) return NotFound(res);
    end = std::min(end, total);
    std::vector<OpsDocument> page(hits.begin() + (begin - 1), hits.begin() + end);
    bool fullCycle = constituents.find("full-cycle") != std::string::npos;
    bool biblio = fullCycle || constituents.find("biblio") != std::string::npos ||
                  constituents.find("abstract") != std::string::npos;
    res.set_content(SearchXml(params["q"], begin, end, total, page, biblio, fullCycle), kXml);
  }

  // ---- page images

  void Page(const Request& req, Response& res, const std::vector<std::string>& seg) {
    // images/<country>/<number>/<kind>/fullimage[.tiff|.tif|.pdf]
    const std::string &country = seg[2], &number = seg[3], &kind = seg[4];
    std::string endpoint = seg[5], suffix;
    if (endpoint.find('.') != std::string::npos) {
      suffix = endpoint.substr(endpoint.find('.') + 1);
      endpoint = endpoint.substr(0, endpoint.find('.'));
    }
    if (endpoint != "fullimage") return NotFound(res);
    std::string accept = req.get_header_value("Accept");
    bool pdf = suffix == "pdf" || (suffix.empty() && accept.find("application/pdf") != std::string::npos &&
                                   accept.find("application/tiff") == std::string::npos);
    if (pdf || (!suffix.empty() && suffix != "tiff" && suffix != "tif"))
      return Fault(res, 405, "CLIENT.MethodNotAllowed", "Only application/tiff is served");

    pagemark::Mark mark;
    const DemoRecord* text = nullptr;  // what a CN page says; a WO member's pages carry marks only
    if (country == "CN") {
      auto docs = corpus_.FindPublications(number, kind.size() == 1 ? kind[0] : '?');
      if (docs.empty() || !docs[0].first->hasImages) return NotFound(res);
      mark = {docs[0].first->application, 0, docs[0].second->pages, pagemark::DocumentOfKind(kind[0])};
      text = &docs[0].first->page;
    } else if (const OpsRecord* r = country == "WO" ? corpus_.FindForeign(country, number) : nullptr) {
      auto wo = std::find_if(r->foreign.begin(), r->foreign.end(),
                             [&](const OpsForeign& f) { return f.country == country && f.number == number; });
      if (kind != wo->kind) return NotFound(res);
      mark = {number, 0, wo->pages, pagemark::kForeignDocument};
    } else {
      return NotFound(res);
    }
    auto params = FormFields(req.target.find('?') == std::string::npos ? "" : req.target.substr(req.target.find('?') + 1));
    std::string range = params.count("Range") ? params["Range"] : req.get_header_value("X-OPS-Range");
    mark.page = range.empty() ? 1 : ToInt(range, -1);
    if (mark.page < 1 || mark.page > mark.pages) return NotFound(res);

    std::string document = country + number + kind;
    for (const OpsPageFault& f : opt_.pageFaults) {
      if (f.document != document || f.page != mark.page) continue;
      if (f.kind == OpsPageFault::Missing) return NotFound(res);
      if (f.kind == OpsPageFault::NotTiff)
        return res.set_content("<html><body>Service temporarily unavailable</body></html>", "application/tiff");
      pagemark::Mark next = mark;
      next.page = mark.page % mark.pages + 1;
      return res.set_content(MakePageImages({mark, next}, kA4Scan), "application/tiff");
    }
    auto image = cache_.Get(document + "/" + std::to_string(mark.page), [&] {
      if (!text) return MakePageImages({mark}, kA4Scan);
      return MakePageImages({mark}, kA4Scan,
                            {pagetext::LayoutPage(*text, 1, mark.page, mark.pages, kTextDpi, TextArea())});
    });
    res.set_content(*image, "application/tiff");
  }

  OpsOptions opt_;
  OpsCorpus corpus_;
  RequestLog& log_;
  FailureHooks& hooks_;
  std::unique_ptr<httplib::SSLServer> server_;
  std::thread thread_;

  std::mutex mutex_;  // everything below but the image cache
  std::mt19937_64 random_;
  std::map<std::string, Issued> tokens_;
  int tokenSerial_ = 0;
  long limits_[kOpsServiceCount] = {};
  std::deque<Clock::time_point> windows_[kOpsServiceCount];
  Clock::time_point blackUntil_[kOpsServiceCount] = {};
  long served_[kOpsServiceCount] = {};
  std::vector<bool> blackDone_;
  long restServed_ = 0;
  long bytes_ = 0;

  ImageCache cache_;
};

OpsRole::OpsRole(const OpsOptions& options, const DemoCorpus& corpus, int pages, RequestLog& log,
                 FailureHooks& hooks)
    : impl_(std::make_unique<Impl>(options, corpus, pages, log, hooks)) {}

OpsRole::~OpsRole() = default;

bool OpsRole::Start() { return impl_->Start(); }
