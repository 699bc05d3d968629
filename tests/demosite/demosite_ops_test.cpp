// The demo site's OPS role over HTTPS, with libcurl verifying its certificate against the
// CA file the site writes: token, search and its CQL, biblio/legal/family/inquiry shapes
// read with pugixml and with the program's readers, page images read back, and the
// throttling, quota, token, fault, date, index and hit switches.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "sources/ops/opspaths.h"
#include "sources/ops/opsreplies.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"

namespace {

struct Reply {
  long status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  int curlCode = 0;
  std::string Header(const std::string& name) const {
    auto it = headers.find(name);
    return it == headers.end() ? "" : it->second;
  }
};

size_t OnBody(char* data, size_t size, size_t n, void* out) {
  static_cast<std::string*>(out)->append(data, size * n);
  return size * n;
}

size_t OnHeader(char* data, size_t size, size_t n, void* out) {
  std::string line(data, size * n);
  size_t colon = line.find(':');
  if (colon != std::string::npos) {
    std::string name = line.substr(0, colon);
    for (char& c : name) c = char(tolower(c));
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    value.erase(value.find_last_not_of("\r\n") + 1);
    (*static_cast<std::map<std::string, std::string>*>(out))[name] = value;
  }
  return size * n;
}

// A client of one site's OPS role: every request on a new verified TLS connection.
class Ops {
 public:
  explicit Ops(const DemoSite& site) : site_(site) {}

  Reply Call(const std::string& path, const std::vector<std::string>& headers = {}, const std::string* post = nullptr,
             bool trustCa = true, const std::string& host = "127.0.0.1") const {
    CURL* curl = curl_easy_init();
    Reply r;
    std::string url = "https://" + host + ":" + std::to_string(site_.OpsPort()) + "/3.2/" + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (trustCa) curl_easy_setopt(curl, CURLOPT_CAINFO, site_.CaFile().c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &r.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &r.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
    if (post) curl_easy_setopt(curl, CURLOPT_POSTFIELDS, post->c_str());
    curl_slist* list = nullptr;
    for (const std::string& h : headers) list = curl_slist_append(list, h.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    r.curlCode = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &r.status);
    curl_slist_free_all(list);
    curl_easy_cleanup(curl);
    return r;
  }

  Reply TokenReply(const std::string& secret = DemoSite::kOpsSecret) const {
    std::string body = "grant_type=client_credentials";
    std::string basic = std::string(DemoSite::kOpsKey) + ":" + secret;
    return Call("auth/accesstoken", {"Authorization: Basic " + Base64(basic)}, &body);
  }

  // A data request with a token of its own, fetched on first use.
  Reply Get(const std::string& restPath, std::vector<std::string> headers = {}) {
    if (token_.empty()) token_ = TokenOf(TokenReply().body);
    headers.push_back("Authorization: Bearer " + token_);
    return Call("rest-services/" + restPath, headers);
  }

  void ForgetToken() { token_.clear(); }

  static std::string TokenOf(const std::string& json) {
    const std::string key = "\"access_token\": \"";
    size_t at = json.find(key);
    return at == std::string::npos ? "" : json.substr(at + key.size(), json.find('"', at + key.size()) - at - key.size());
  }

  static std::string Base64(const std::string& s) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < s.size(); i += 3) {
      unsigned v = (unsigned char)s[i] << 16;
      if (i + 1 < s.size()) v |= (unsigned char)s[i + 1] << 8;
      if (i + 2 < s.size()) v |= (unsigned char)s[i + 2];
      out += abc[(v >> 18) & 63];
      out += abc[(v >> 12) & 63];
      out += i + 1 < s.size() ? abc[(v >> 6) & 63] : '=';
      out += i + 2 < s.size() ? abc[v & 63] : '=';
    }
    return out;
  }

 private:
  const DemoSite& site_;
  std::string token_;
};

std::string Encode(const std::string& q) {
  char* e = curl_easy_escape(nullptr, q.c_str(), int(q.size()));
  std::string out = e;
  curl_free(e);
  return out;
}

// Namespaces are checked where it matters; elsewhere nodes are found by local name.
pugi::xpath_node_set All(const pugi::xml_node& n, const std::string& localName) {
  return n.select_nodes((".//*[local-name()='" + localName + "']").c_str());
}

std::string First(const pugi::xml_node& n, const std::string& localName) {
  auto set = All(n, localName);
  return set.empty() ? "" : set.first().node().child_value();
}

struct Xml {
  explicit Xml(const std::string& body) { ok = doc.load_string(body.c_str()); }
  pugi::xml_document doc;
  bool ok = false;
  pugi::xml_node Root() const { return doc.document_element(); }
};

std::string FaultCode(const Reply& r) { return First(Xml(r.body).Root(), "code"); }

// Total hits of a query; 0 when OPS says "no results".
int Count(Ops& ops, const std::string& cql) {
  Reply r = ops.Get("published-data/search/biblio?q=" + Encode(cql) + "&Range=1-1");
  if (r.status == 404) return 0;
  EXPECT_EQ(r.status, 200) << cql << "\n" << r.body;
  return Xml(r.body).Root().select_node("//*[local-name()='biblio-search']").node().attribute("total-result-count").as_int();
}

// The exchange-documents of a reply, by kind: the record's publications.
std::map<char, pugi::xml_node> ByKind(const Xml& x) {
  std::map<char, pugi::xml_node> docs;
  for (auto d : All(x.Root(), "exchange-document")) docs[d.node().attribute("kind").value()[0]] = d.node();
  return docs;
}

class DemoOpsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    // One hit per application, the role's former answer these counts were written for.
    site_ = new DemoSite({"--ops-hits", "applications", "--ops-limit", "search=100000", "--ops-limit", "retrieval=100000", "--ops-limit",
                          "images=100000", "--ops-limit", "inpadoc=100000"},
                         true, true);
  }
  static void TearDownTestSuite() { delete site_; }
  // The publication number of kind k of an application.
  static std::string Publication(const std::string& application, char kind) {
    Ops ops(*site_);
    Xml x(ops.Get("published-data/application/epodoc/CN" + application + "/biblio").body);
    auto docs = ByKind(x);
    return docs.count(kind) ? docs[kind].attribute("doc-number").value() : "";
  }
  static DemoSite* site_;
};
DemoSite* DemoOpsTest::site_ = nullptr;

TEST_F(DemoOpsTest, TlsIsVerifiedAgainstTheSitesOwnCa) {
  Ops ops(*site_);
  const std::string body = "grant_type=client_credentials";
  for (const char* host : {"127.0.0.1", "localhost"}) {
    Reply r = ops.Call("auth/accesstoken", {}, &body, true, host);
    EXPECT_EQ(r.curlCode, CURLE_OK) << host;
    EXPECT_EQ(r.status, 401) << host;  // reached the server: no credentials sent
  }
  // The system's CAs do not know the site: nothing gets through unverified.
  EXPECT_EQ(ops.Call("auth/accesstoken", {}, &body, false).curlCode, CURLE_PEER_FAILED_VERIFICATION);
}

TEST_F(DemoOpsTest, TokenAndTheHeadersOfEveryReply) {
  Ops ops(*site_);
  Reply t = ops.TokenReply();
  ASSERT_EQ(t.status, 200) << t.body;
  EXPECT_NE(t.Header("content-type").find("application/json"), std::string::npos);
  for (const char* field : {"\"token_type\": \"BearerToken\"", "\"expires_in\": \"1199\"", "\"issued_at\": \""})
    EXPECT_NE(t.body.find(field), std::string::npos) << field;
  EXPECT_EQ(Ops::TokenOf(t.body).size(), 28u);

  Reply wrong = ops.TokenReply("not-the-secret");
  EXPECT_EQ(wrong.status, 401);
  EXPECT_EQ(First(Xml(wrong.body).Root(), "message"), "invalid_client");
  std::string noGrant = "scope=x";
  Reply missing = ops.Call("auth/accesstoken",
                           {"Authorization: Basic " + Ops::Base64(std::string("demo-key:") + DemoSite::kOpsSecret)},
                           &noGrant);
  EXPECT_EQ(missing.status, 400);
  EXPECT_EQ(First(Xml(missing.body).Root(), "message"), "Required param : grant_type");

  Reply noToken = ops.Call("rest-services/published-data/search?q=pn%3DCN", {"Authorization: Bearer nonsense"});
  EXPECT_EQ(noToken.status, 400);
  EXPECT_EQ(First(Xml(noToken.body).Root(), "message"), "invalid_access_token");
  EXPECT_NE(noToken.Header("www-authenticate").find("error=\"invalid_token\""), std::string::npos);

  // Every reply, whatever its status, carries the API and throttling headers and a byte
  // count that grows by the bodies served.
  long before = 0;
  for (const Reply& r : {ops.Get("published-data/search?q=pn%3DCN"), ops.Get("published-data/search?q=ti%3Dzzzz"),
                         ops.Get("legal/publication/docdb/CN.1.A")}) {
    EXPECT_EQ(r.Header("x-api"), "ops-v3.2");
    EXPECT_EQ(r.Header("x-throttling-control").rfind("idle (images=green:", 0), 0u) << r.Header("x-throttling-control");
    long used = std::stol(r.Header("x-individualquotaperhour-used"));
    EXPECT_GE(used, before + long(r.body.size()));
    EXPECT_EQ(r.Header("x-registeredquotaperweek-used"), r.Header("x-individualquotaperhour-used"));
    before = used;
  }
}

TEST_F(DemoOpsTest, SearchPagesNewestFirstUpToTheCap) {
  Ops ops(*site_);
  const std::string q = Encode("ti all \"battery\" and pn=CN");
  int total = Count(ops, "ti all \"battery\" and pn=CN");
  ASSERT_GT(total, 100);
  std::set<std::string> applications;
  int last = 99999999;
  for (int begin = 1; begin <= total; begin += 100) {
    int end = std::min(begin + 99, total);
    Reply r = ops.Get("published-data/search/biblio?q=" + q + "&Range=" + std::to_string(begin) + "-" +
                      std::to_string(begin + 99));
    ASSERT_EQ(r.status, 200);
    Xml x(r.body);
    auto range = x.Root().select_node("//*[local-name()='range']").node();
    EXPECT_EQ(range.attribute("begin").as_int(), begin);
    EXPECT_EQ(range.attribute("end").as_int(), end);
    auto hits = x.Root().select_nodes("//*[local-name()='search-result']/*[local-name()='exchange-documents']");
    ASSERT_EQ(int(hits.size()), end - begin + 1);
    for (auto h : hits) {
      auto doc = h.node().first_child();
      int date = std::stoi(First(doc.child("bibliographic-data").child("publication-reference"), "date"));
      EXPECT_LE(date, last);
      last = date;
      applications.insert(First(doc.child("bibliographic-data").child("application-reference"), "doc-number"));
    }
  }
  EXPECT_EQ(int(applications.size()), total);  // one hit per application, none twice
  // Past the cap, too wide, or no hits at all.
  for (const char* range : {"1-101", "1950-2001", "0-10", "9-3"}) {
    Reply r = ops.Get("published-data/search/biblio?q=" + q + "&Range=" + range);
    EXPECT_EQ(r.status, 400) << range;
    EXPECT_EQ(FaultCode(r), "CLIENT.InvalidQuery") << range;
  }
  Reply none = ops.Get("published-data/search/biblio?q=" + Encode("ti=qwertyuiop and pn=CN"));
  EXPECT_EQ(none.status, 404);
  EXPECT_EQ(FaultCode(none), "SERVER.EntityNotFound");
  EXPECT_EQ(First(Xml(none.body).Root(), "message"), "No results found");
  for (const char* bad : {"ti all \"battery", "ti=(a", "and ti=a", "pd within \"2010\"", "foo=bar"}) {
    Reply r = ops.Get("published-data/search?q=" + Encode(bad));
    EXPECT_EQ(r.status, 400) << bad;
    EXPECT_EQ(FaultCode(r), std::string(bad) == "foo=bar" ? "CLIENT.InvalidIndex" : "CLIENT.CQL") << bad;
  }
}

TEST_F(DemoOpsTest, CqlSubsetFindsWhatItSays) {
  Ops ops(*site_);
  int battery = Count(ops, "ti=battery");
  int lithium = Count(ops, "ti all \"lithium battery\"");
  EXPECT_GT(lithium, 0);
  EXPECT_LT(lithium, battery);
  EXPECT_EQ(Count(ops, "ti all \"LITHIUM Battery\""), lithium);
  EXPECT_EQ(Count(ops, "ti=lithium and ti=battery"), lithium);
  EXPECT_EQ(Count(ops, "ti any \"lithium qwertyuiop\""), Count(ops, "ti=lithium"));
  EXPECT_EQ(Count(ops, "ti=battery not ti=lithium"), battery - Count(ops, "ti=battery and ti=lithium"));
  EXPECT_EQ(Count(ops, "(ti=lithium or ti=washing) and pn=CN"), Count(ops, "ti=lithium") + Count(ops, "ti=washing"));
  EXPECT_EQ(Count(ops, "ti=lith*"), Count(ops, "ti=lithium"));
  EXPECT_GT(Count(ops, "ti=电池"), battery / 2);  // Chinese words match the Chinese titles
  EXPECT_GT(Count(ops, "ab all \"结构简单\""), 0);
  EXPECT_GE(Count(ops, "ta=separator"), Count(ops, "ti=separator"));

  // A class is a prefix, blanks ignored; every hit carries it.
  int h01m10 = Count(ops, "ic=H01M10");
  EXPECT_GT(h01m10, 0);
  EXPECT_GT(Count(ops, "ic=H01M"), h01m10);
  EXPECT_EQ(Count(ops, "ic=\"H01M 10\""), h01m10);
  Xml classHits(ops.Get("published-data/search/biblio?q=" + Encode("ic=H01M10") + "&Range=1-50").body);
  for (auto t : All(classHits.Root(), "classification-ipcr")) {
    std::string text = First(t.node(), "text");
    EXPECT_EQ(text.substr(0, 8), "H01M  10") << text;
  }

  // Dates slice the whole without overlap: what a split relies on.
  int all = Count(ops, "pn=CN");
  int sum = 0;
  for (int year = 1985; year <= 2025; ++year) sum += Count(ops, "pn=CN and pd within \"" + std::to_string(year) + " " + std::to_string(year) + "\"");
  EXPECT_EQ(sum, all);
  EXPECT_EQ(Count(ops, "pd<2010") + Count(ops, "pd>=2010"), all);
  EXPECT_EQ(Count(ops, "pd within \"20100101 20121231\""), Count(ops, "pd>=2010 and pd<=2012"));
  EXPECT_EQ(Count(ops, "pd within \"201001 201212\""), Count(ops, "pd within \"2010 2012\""));

  // Numbers: an application in any form, a publication with or without its kind.
  for (const char* ap : {"ap=CN200510012345", "ap=200510012345", "ap=CN200510012345.X", "ap=CN02123456"})
    EXPECT_EQ(Count(ops, ap), 1) << ap;
  // A hit shows its latest publication; the full cycle shows all of them.
  auto kinds = [&](const std::string& constituents) {
    std::string k;
    Xml x(ops.Get("published-data/search/" + constituents + "?q=" + Encode("ap=CN200510012345")).body);
    for (auto d : All(x.Root(), "exchange-document")) k += d.node().attribute("kind").value();
    return k;
  };
  EXPECT_EQ(kinds("biblio"), "B");
  EXPECT_EQ(kinds("biblio,full-cycle"), "AB");
  std::string grant = Publication("200510012345", 'B');
  ASSERT_FALSE(grant.empty());
  EXPECT_EQ(Count(ops, "pn=CN" + grant + "B"), 1);
  EXPECT_EQ(Count(ops, "pn=CN" + grant), 1);
  EXPECT_EQ(Count(ops, "pn=CN" + grant + "C"), 0);
  EXPECT_EQ(Count(ops, "pn=US"), 0);
  // Names GBK cannot write are searchable as they are.
  EXPECT_GT(Count(ops, "pa=䶮"), 0);
  EXPECT_GT(Count(ops, "pa=𠀀"), 0);
}

TEST_F(DemoOpsTest, BiblioOfAnApplicationByEveryRoute) {
  Ops ops(*site_);
  Reply docdb = ops.Get("published-data/application/docdb/CN.200510012345.A/biblio");
  ASSERT_EQ(docdb.status, 200);
  EXPECT_EQ(docdb.Header("content-type"), "application/xml;charset=utf-8");
  Xml x(docdb.body);
  ASSERT_TRUE(x.ok);
  EXPECT_STREQ(x.Root().attribute("xmlns").value(), "http://www.epo.org/exchange");
  EXPECT_STREQ(x.Root().attribute("xmlns:ops").value(), "http://ops.epo.org");
  auto docs = ByKind(x);
  ASSERT_EQ(docs.size(), 2u);
  ASSERT_TRUE(docs.count('A') && docs.count('B'));
  std::string number = docs['A'].attribute("doc-number").value();
  EXPECT_EQ(docs['B'].attribute("doc-number").value(), number);  // a grant since 2010 keeps the number
  auto biblio = docs['B'].child("bibliographic-data");
  EXPECT_EQ(First(biblio.child("publication-reference").find_child_by_attribute("document-id-type", "epodoc"),
                  "doc-number"),
            "CN" + number + "B");
  EXPECT_EQ(First(docs['A'].child("bibliographic-data").child("publication-reference").find_child_by_attribute(
                      "document-id-type", "epodoc"),
                  "doc-number"),
            "CN" + number);
  auto app = biblio.child("application-reference");
  EXPECT_EQ(First(app.find_child_by_attribute("document-id-type", "original"), "doc-number"), "200510012345.X");
  EXPECT_EQ(First(app.find_child_by_attribute("document-id-type", "docdb"), "kind"), "A");
  EXPECT_EQ(First(biblio, "text"), "H01M  10/  0525            A I");
  auto latin = biblio.select_node(".//*[local-name()='applicant'][@data-format='epodoc']").node();
  auto chinese = biblio.select_node(".//*[local-name()='applicant'][@data-format='original']").node();
  EXPECT_EQ(First(latin, "name"), "HARBIN INST OF TECHNOLOGY\u2002[CN]");
  EXPECT_EQ(First(chinese, "name"), "哈尔滨工业大学");
  EXPECT_EQ(biblio.find_child_by_attribute("invention-title", "lang", "en").child_value(),
            std::string("Lithium ion battery and preparation method thereof"));
  EXPECT_EQ(biblio.find_child_by_attribute("invention-title", "lang", "ol").child_value(),
            std::string("一种锂离子电池及其制备方法"));
  EXPECT_EQ(std::string(docs['B'].find_child_by_attribute("abstract", "lang", "ol").child("p").child_value()).rfind("[0001]", 0),
            0u);
  EXPECT_FALSE(std::string(docs['B'].find_child_by_attribute("abstract", "lang", "en").child("p").child_value()).empty());

  // The same publications by the other routes; a kind of its own type; unknown ones.
  for (const std::string& path : std::vector<std::string>{"published-data/application/epodoc/CN200510012345/biblio",
                                                         "published-data/application/docdb/CN.200510012345/biblio",
                                                         "published-data/publication/docdb/CN." + number + "/biblio"})
    EXPECT_EQ(ByKind(Xml(ops.Get(path).body)).size(), 2u) << path;
  EXPECT_EQ(ByKind(Xml(ops.Get("published-data/publication/epodoc/CN" + number + "B/biblio").body)).size(), 1u);
  auto um = ByKind(Xml(ops.Get("published-data/application/docdb/CN.03234567.U/biblio").body));
  ASSERT_EQ(um.size(), 1u);
  EXPECT_TRUE(um.count('Y'));  // a utility model of 2004: one publication, no A
  EXPECT_EQ(ByKind(Xml(ops.Get("published-data/application/docdb/CN.200630012345.S/biblio").body)).count('D'), 1u);
  EXPECT_EQ(ops.Get("published-data/application/docdb/CN.200510012345.U/biblio").status, 404);
  Reply unknown = ops.Get("published-data/application/docdb/CN.99999999.A/biblio");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(FaultCode(unknown), "SERVER.EntityNotFound");

  // Quirks the client must cope with: no Latin name yet, characters outside GBK.
  Xml fresh(ops.Get("published-data/application/epodoc/CN201210033333/biblio").body);
  EXPECT_TRUE(fresh.Root().select_node("//*[local-name()='applicant'][@data-format='epodoc']").node().empty());
  EXPECT_FALSE(fresh.Root().select_node("//*[local-name()='applicant'][@data-format='original']").node().empty());
  Xml odd(ops.Get("published-data/application/epodoc/CN04256789/biblio").body);
  EXPECT_NE(std::string(odd.Root().select_node("//*[local-name()='invention-title'][@lang='ol']").node().child_value())
                .find("•"),
            std::string::npos);
}

TEST_F(DemoOpsTest, LegalFamilyAndImageInquiry) {
  Ops ops(*site_);
  // A PCT record: its WO member comes first, with events of its own.
  std::string a = Publication("200880001234", 'A');
  ASSERT_FALSE(a.empty());
  Reply legal = ops.Get("legal/publication/docdb/CN." + a + ".A");
  ASSERT_EQ(legal.status, 200);
  Xml x(legal.body);
  auto members = All(x.Root(), "family-member");
  ASSERT_EQ(members.size(), 2u);
  EXPECT_EQ(First(members[0].node().child("application-reference"), "country"), "WO");
  EXPECT_FALSE(All(members[0].node(), "legal").empty());
  auto cn = members[1].node();
  EXPECT_EQ(First(cn.child("application-reference"), "doc-number"), "200880001234");
  std::vector<std::string> codes;
  std::string lastDate;
  for (auto e : All(cn, "legal")) {
    codes.push_back(e.node().attribute("code").value());
    std::string date = First(e.node(), "L007EP");
    EXPECT_GE(date, lastDate);
    lastDate = date;
    EXPECT_EQ(First(e.node(), "L008EP") + std::string(4 - First(e.node(), "L008EP").size(), ' '), codes.back());
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"C06 ", "C10 "}));  // published, under examination

  // A ceased grant: publication, examination, grant, then the lapse; the grant member has none.
  Xml ceased(ops.Get("legal/application/epodoc/CN02123456").body);
  auto ceasedMembers = All(ceased.Root(), "family-member");
  ASSERT_EQ(ceasedMembers.size(), 2u);
  std::vector<std::string> ceasedCodes;
  for (auto e : All(ceasedMembers[0].node(), "legal")) ceasedCodes.push_back(e.node().attribute("code").value());
  EXPECT_EQ(ceasedCodes, (std::vector<std::string>{"C06 ", "C10 ", "C14 ", "C19 "}));
  EXPECT_TRUE(All(ceasedMembers[1].node(), "legal").empty());
  EXPECT_EQ(ops.Get("legal/application/epodoc/CN201120022222").status, 404);  // no legal data

  // The inquiry lists the WO document first, then the CN one with its sections.
  Xml inquiry(ops.Get("published-data/publication/docdb/CN." + a + ".A/images").body);
  auto instances = All(inquiry.Root(), "document-instance");
  ASSERT_GE(instances.size(), 2u);
  EXPECT_EQ(std::string(instances[0].node().attribute("link").value()).rfind("published-data/images/WO/", 0), 0u);
  auto own = instances[1].node();
  EXPECT_STREQ(own.attribute("desc").value(), "FullDocument");
  EXPECT_EQ(own.attribute("link").value(), "published-data/images/CN/" + a + "/A/fullimage");
  EXPECT_EQ(own.attribute("number-of-pages").as_int(), 40);
  std::map<std::string, int> sections;
  for (auto s : All(own, "document-section")) sections[s.node().attribute("name").value()] = s.node().attribute("start-page").as_int();
  EXPECT_EQ(sections.size(), 5u);
  EXPECT_LT(sections["CLAIMS"], sections["DESCRIPTION"]);
  EXPECT_LT(sections["DESCRIPTION"], sections["DRAWINGS"]);
  EXPECT_LE(sections["DRAWINGS"], 40);
  // Some records link without the prefix.
  std::string b = Publication("201210033333", 'B');
  Xml bare(ops.Get("published-data/publication/docdb/CN." + b + ".B/images").body);
  EXPECT_EQ(All(bare.Root(), "document-instance")[0].node().attribute("link").value(), "CN/" + b + "/B/fullimage");
}

TEST_F(DemoOpsTest, PagesAreOnePageA4TiffsCarryingTheirMark) {
  Ops ops(*site_);
  TempDir dir;
  std::string b = Publication("200510012345", 'B');
  const TPath merged = dir.File("merged.tif");
  for (int page : {1, 12}) {
    Reply r = ops.Get("published-data/images/CN/" + b + "/B/fullimage.tiff?Range=" + std::to_string(page));
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("content-type"), "application/tiff");
    EXPECT_EQ(r.body.substr(0, 4), std::string("MM\0*", 4));  // big-endian, as the scans are
    TPath file = dir.File("p.tif");
    std::ofstream(file.Bytes(), std::ios::binary) << r.body;
    EXPECT_EQ(TiffPageCount(file), 1);
    ASSERT_EQ(system(("tiffcp '" + file.Bytes() + "' -a '" + merged.Bytes() + "' 2>/dev/null").c_str()), 0);
    auto mark = ReadTiffPageMark(file);
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->number, "200510012345");
    EXPECT_EQ(mark->page, page);
    EXPECT_EQ(mark->pages, 12);
    EXPECT_EQ(pagemark::KindOfDocument(mark->document), 'B');
  }
  // The marks survive the merge and the conversion, rendered at a screen's resolution.
  std::string pdf = dir.File("m.pdf").Bytes();
  ASSERT_EQ(system(("tiff2pdf -o '" + pdf + "' '" + merged.Bytes() + "' 2>/dev/null").c_str()), 0);
  ASSERT_EQ(system(("pdftoppm -gray -r 40 -f 2 -l 2 '" + pdf + "' '" + dir.File("r").Bytes() + "'").c_str()), 0);
  auto rendered = ReadPgmPageMark(dir.File("r-2.pgm").Bytes());
  ASSERT_TRUE(rendered.has_value());
  EXPECT_EQ(rendered->page, 12);
  EXPECT_EQ(pagemark::KindOfDocument(rendered->document), 'B');

  // The A publication is a document of its own; the WO member's pages are marked foreign.
  Reply a = ops.Get("published-data/images/CN/" + Publication("200510012345", 'A') + "/A/fullimage?Range=1",
                    {"Accept: application/tiff"});
  ASSERT_EQ(a.status, 200);
  std::ofstream(dir.File("a.tif").Bytes(), std::ios::binary) << a.body;
  auto mark = ReadTiffPageMark(dir.File("a.tif"));
  ASSERT_TRUE(mark.has_value());
  EXPECT_EQ(pagemark::KindOfDocument(mark->document), 'A');
  Xml inquiry(ops.Get("published-data/publication/docdb/CN." + Publication("200880001234", 'A') + ".A/images").body);
  std::string wo = All(inquiry.Root(), "document-instance")[0].node().attribute("link").value();
  Reply foreign = ops.Get("published-data/images/" + wo.substr(std::string("published-data/images/").size()) + "?Range=1");
  ASSERT_EQ(foreign.status, 200);
  std::ofstream(dir.File("wo.tif").Bytes(), std::ios::binary) << foreign.body;
  EXPECT_EQ(ReadTiffPageMark(dir.File("wo.tif"))->document, pagemark::kForeignDocument);

  for (const char* bad : {"?Range=13", "?Range=0", "?Range=x"})
    EXPECT_EQ(ops.Get("published-data/images/CN/" + b + "/B/fullimage.tiff" + bad).status, 404) << bad;
  EXPECT_EQ(ops.Get("published-data/images/CN/" + b + "/C/fullimage.tiff?Range=1").status, 404);
}

TEST_F(DemoOpsTest, LogShowsTheSchemeAndTokenNumberNeverASecret) {
  Ops ops(*site_);
  size_t before = site_->Log().size();
  ops.Get("published-data/search?q=pn%3DCN");
  ops.Get("published-data/search?q=pn%3DCN");
  std::vector<DemoLogEntry> log = site_->Log();
  ASSERT_EQ(log.size(), before + 3);
  EXPECT_EQ(log[before].target, "/3.2/auth/accesstoken");
  EXPECT_EQ(log[before].authorization, "Basic");
  EXPECT_EQ(log[before + 1].authorization.rfind("Bearer ", 0), 0u);
  EXPECT_NE(log[before + 1].authorization, "Bearer ?");
  EXPECT_EQ(log[before + 2].authorization, log[before + 1].authorization);
  for (const DemoLogEntry& e : log) {
    EXPECT_EQ(e.authorization.find(DemoSite::kOpsSecret), std::string::npos);
    EXPECT_EQ(e.authorization.find(Ops::Base64(std::string(DemoSite::kOpsKey) + ":" + DemoSite::kOpsSecret)),
              std::string::npos);
  }
}

// ---- switches, each on a site of its own

TEST(DemoOpsSwitches, ThrottleColoursFollowTheWindowAndBlackWaits) {
  DemoSite site({"--ops-state", "busy", "--ops-limit", "retrieval=4", "--ops-colour", "images=yellow", "--ops-black",
                 "search:1:1500"},
                false, true);
  Ops ops(site);
  auto colour = [](const Reply& r, const std::string& service) {
    std::string h = r.Header("x-throttling-control");
    size_t at = h.find(service + "=");
    return at == std::string::npos ? "" : h.substr(at + service.size() + 1, h.find_first_of(",)", at) - at - service.size() - 1);
  };
  const std::string biblio = "published-data/application/epodoc/CN02123456/biblio";
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) {
    Reply r = ops.Get(biblio);
    ASSERT_EQ(r.status, 200);
    seen.push_back(colour(r, "retrieval"));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"green:4", "yellow:4", "yellow:4", "red:4"}));
  Reply black = ops.Get(biblio);
  EXPECT_EQ(black.status, 403);
  EXPECT_EQ(colour(black, "retrieval"), "black:0");
  EXPECT_EQ(black.Header("x-rejection-reason"), "");
  long retry = std::stol(black.Header("retry-after"));
  EXPECT_GT(retry, 50000);
  EXPECT_LE(retry, 60000);
  EXPECT_NE(First(Xml(black.body).Root(), "message").find("Fair Use"), std::string::npos);
  EXPECT_EQ(black.Header("x-throttling-control").rfind("busy (images=yellow:100, inpadoc=green:45", 0), 0u)
      << black.Header("x-throttling-control");

  // Black after the first search, for 1.5 s; then served again.
  EXPECT_EQ(ops.Get("published-data/search?q=pn%3DCN").status, 200);
  Reply s = ops.Get("published-data/search?q=pn%3DCN");
  ASSERT_EQ(s.status, 403);
  EXPECT_EQ(colour(s, "search"), "black:0");
  long wait = std::stol(s.Header("retry-after"));
  EXPECT_LE(wait, 1500);
  std::this_thread::sleep_for(std::chrono::milliseconds(wait + 50));
  EXPECT_EQ(ops.Get("published-data/search?q=pn%3DCN").status, 200);
}

TEST(DemoOpsSwitches, QuotaTokensAndRefusedRoutes) {
  {
    DemoSite site({"--ops-quota", "week:2", "--ops-refuse", "application/docdb"}, false, true);
    Ops ops(site);
    Reply refused = ops.Get("published-data/application/docdb/CN.02123456.A/biblio");
    EXPECT_EQ(refused.status, 404);
    EXPECT_EQ(FaultCode(refused), "CLIENT.InvalidReference");
    EXPECT_EQ(ops.Get("published-data/application/epodoc/CN02123456/biblio").status, 200);
    Reply over = ops.Get("published-data/application/epodoc/CN02123456/biblio");
    EXPECT_EQ(over.status, 403);
    EXPECT_EQ(over.Header("x-rejection-reason"), "RegisteredQuotaPerWeek");
  }
  DemoSite site({"--ops-revoke-after", "2", "--ops-token-life", "60"}, true, true);
  Ops ops(site);
  Reply t = ops.TokenReply();
  EXPECT_NE(t.body.find("\"expires_in\": \"60\""), std::string::npos);
  const std::string q = "published-data/search?q=pn%3DCN";
  EXPECT_EQ(ops.Get(q).status, 200);
  EXPECT_EQ(ops.Get(q).status, 200);
  Reply revoked = ops.Get(q);
  EXPECT_EQ(revoked.status, 400);
  EXPECT_EQ(First(Xml(revoked.body).Root(), "message"), "invalid_access_token");
  ops.ForgetToken();
  EXPECT_EQ(ops.Get(q).status, 200);
  std::vector<std::string> schemes;
  for (const DemoLogEntry& e : site.Log()) schemes.push_back(e.authorization);
  EXPECT_EQ(schemes, (std::vector<std::string>{"Basic", "Basic", "Bearer 2", "Bearer 2", "Bearer 2", "Basic",
                                               "Bearer 3"}));
}

TEST(DemoOpsSwitches, ExpiredTokensAreInvalid) {
  DemoSite site({"--ops-token-life", "2"}, false, true);
  Ops ops(site);
  EXPECT_EQ(ops.Get("published-data/search?q=pn%3DCN").status, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(ops.Get("published-data/search?q=pn%3DCN").status, 400);
}

TEST_F(DemoOpsTest, PageFaultsAndALyingCount) {
  std::string y = "CN" + Publication("03234567", 'Y') + "Y";
  DemoSite site({"--ops-missing-page", y + ":2", "--ops-bad-page", y + ":3", "--ops-two-page", y + ":4",
                 "--ops-lie-count", y + ":7"},
                false, true);
  Ops ops(site);
  std::string base = "published-data/images/CN/" + y.substr(2, y.size() - 3) + "/Y/fullimage.tiff?Range=";
  Xml inquiry(ops.Get("published-data/publication/epodoc/" + y + "/images").body);
  EXPECT_EQ(All(inquiry.Root(), "document-instance")[0].node().attribute("number-of-pages").as_int(), 7);
  EXPECT_EQ(ops.Get(base + "1").status, 200);
  EXPECT_EQ(ops.Get(base + "2").status, 404);
  Reply notTiff = ops.Get(base + "3");
  EXPECT_EQ(notTiff.status, 200);
  EXPECT_NE(notTiff.body.substr(0, 2), "MM");
  TempDir dir;
  std::ofstream(dir.File("two.tif").Bytes(), std::ios::binary) << ops.Get(base + "4").body;
  EXPECT_EQ(TiffPageCount(dir.File("two.tif")), 2);
  EXPECT_EQ(ops.Get(base + "5").status, 200);
  EXPECT_EQ(ops.Get(base + "6").status, 404);  // the document has 5 pages, whatever the inquiry says
}

TEST(DemoOpsSwitches, ExtraRecordsPassTheCapAndSplitByDateToDays) {
  DemoSite site({"--ops-extra", "5000", "--ops-limit", "search=1000"}, false, true);
  Ops ops(site);
  const std::string q = "ic=H01M and pn=CN";
  int total = Count(ops, q);
  EXPECT_GT(total, 5000);
  EXPECT_LT(total, 10000);
  EXPECT_EQ(ops.Get("published-data/search/biblio?q=" + Encode(q) + "&Range=2001-2100").status, 400);
  auto slice = [&](const std::string& from, const std::string& to) {
    return Count(ops, q + " and pd within \"" + from + " " + to + "\"");
  };
  int years = 0;
  for (int y = 1985; y <= 2025; ++y) years += slice(std::to_string(y), std::to_string(y));
  EXPECT_EQ(years, total);
  EXPECT_GT(slice("2015", "2015"), 2000);
  int june = slice("201506", "201506");
  EXPECT_GT(june, 2000);  // a month too many: the split goes down to days
  int days = 0;
  for (int d = 1; d <= 30; ++d) {
    char day[16];
    snprintf(day, sizeof day, "201506%02d", d);
    int n = slice(day, day);
    EXPECT_LE(n, 2000) << day;
    days += n;
  }
  EXPECT_EQ(days, june);
}

// ---- what analysts sort by, families, the CQL of OPS, and the switches for them

using Names = std::vector<std::string>;

std::vector<TOpsBiblio> BiblioOf(Ops& ops, const std::string& application) {
  return ReadBiblioReply(ops.Get("published-data/application/epodoc/CN" + application + "/biblio").body);
}

TEST_F(DemoOpsTest, AnalystsFieldsAsTheProgramReadsThem) {
  Ops ops(*site_);
  // An invention granted: its A and its B, with everything an analyst sorts by.
  std::vector<TOpsBiblio> g1 = BiblioOf(ops, "202310123456");
  ASSERT_EQ(g1.size(), 2u);
  const TOpsBiblio& b = g1[1];
  EXPECT_EQ(g1[0].publication, (TOpsPublication{"116789012", 'A'}));
  EXPECT_EQ(g1[0].publicationDate, "20230919");
  EXPECT_EQ(b.publication, (TOpsPublication{"116789012", 'B'}));
  EXPECT_EQ(b.publicationDate, "20250415");
  EXPECT_EQ(b.applicationDate, "20230315");
  EXPECT_EQ(b.priorities, (std::vector<TOpsPriority>{{"CN202310123456", "20230315"}}));
  EXPECT_EQ(b.applicantsOriginal, Names{"重庆长江变速器有限公司"});
  EXPECT_EQ(b.applicantsEpodoc, Names{"CHONGQING CHANGJIANG TRANSMISSION CO LTD"});
  EXPECT_EQ(b.inventorsOriginal, (Names{"周涛", "吴刚"}));
  EXPECT_EQ(b.inventorsEpodoc, (Names{"ZHOU TAO", "WU GANG"}));
  EXPECT_EQ(b.ipcClasses, (Names{"F16H61/32", "F16H63/30"}));
  EXPECT_EQ(b.cpcClasses, (Names{"F16H61/32", "F16H63/30", "F16H2061/326"}));
  // Its utility model twin, filed the same day: one family.
  std::vector<TOpsBiblio> g2 =
      ReadBiblioReply(ops.Get("published-data/application/docdb/CN.202320654321.U/biblio").body);
  ASSERT_EQ(g2.size(), 1u);
  EXPECT_EQ(g2[0].publication, (TOpsPublication{"219345678", 'U'}));
  EXPECT_EQ(g2[0].applicationDate, b.applicationDate);
  EXPECT_FALSE(b.familyId.empty());
  EXPECT_EQ(g2[0].familyId, b.familyId);
  // A fresh application: Chinese names only, as OPS has them before the Latin ones come.
  std::vector<TOpsBiblio> fresh = BiblioOf(ops, "202411223344");
  ASSERT_EQ(fresh.size(), 1u);
  EXPECT_TRUE(fresh[0].applicantsEpodoc.empty() && fresh[0].inventorsEpodoc.empty());
  EXPECT_EQ(fresh[0].Inventors(), (Names{"吴刚", "孙丽"}));
  // The site's records: the CPC tags batteries Y02E, a PCT record claims its PCT application.
  EXPECT_EQ(BiblioOf(ops, "200510012345").back().cpcClasses, (Names{"H01M10/0525", "Y02E60/10"}));
  std::vector<TOpsBiblio> pct = BiblioOf(ops, "200880001234");
  ASSERT_EQ(pct.size(), 1u);
  ASSERT_EQ(pct[0].priorities.size(), 1u);
  EXPECT_EQ(pct[0].priorities[0].number.rfind("WO2006CN", 0), 0u) << pct[0].priorities[0].number;
  // The count of cited patents is what the reply cites; some records cite some.
  int citing = 0;
  for (const char* application : {"200510012345", "02123456", "202310123456", "202210987654", "200910222333"}) {
    const std::string body = ops.Get("published-data/application/epodoc/CN" + std::string(application) + "/biblio").body;
    const TOpsBiblio last = ReadBiblioReply(body).back();
    Xml x(body);
    auto docs = All(x.Root(), "exchange-document");
    EXPECT_EQ(int(All(docs[docs.size() - 1].node(), "patcit").size()), last.citedCount) << application;
    citing += last.citedCount > 0;
  }
  EXPECT_GT(citing, 0);
}

TEST_F(DemoOpsTest, FamilyServiceAsOpsAnswersIt) {
  Ops ops(*site_);
  // A family across five offices, asked for by a publication or by the application, the
  // program's way among them.
  const std::string rest = "rest-services/";
  for (const std::string& path :
       {std::string("family/publication/epodoc/CN115012345"), std::string("family/application/epodoc/CN202210987654"),
        opspaths::Family({"115012345", 'B'}).substr(rest.size()),
        opspaths::ApplicationFamily(TOpsApplication{"202210987654"}, 'A').substr(rest.size())}) {
    Reply r = ops.Get(path);
    ASSERT_EQ(r.status, 200) << path;
    EXPECT_EQ(r.Header("content-type"), "application/xml;charset=utf-8");
    const TOpsFamily f = ReadFamilyReply(r.body);
    EXPECT_EQ(f.Countries(), (Names{"WO", "EP", "US", "JP", "KR", "CN"})) << path;
    ASSERT_EQ(f.members.size(), 8u);
    EXPECT_EQ(f.total, 8);
    for (const TOpsFamilyMember& m : f.members) {
      EXPECT_EQ(m.priorities, (std::vector<TOpsPriority>{{"CN202210987654", "20220520"}})) << m.Shown();
      if (m.country == "CN") {
        EXPECT_EQ(m.applicationNumber + m.applicationDate, "20221098765420220520");
      }
      if (m.country == "US") {
        EXPECT_EQ(m.applicationNumber, "18012345");  // the A1 and the B2 of one application
      }
    }
    EXPECT_EQ(f.members[0].Shown(), "WO2023221234A1");
    EXPECT_EQ(f.members[0].applicationCountry + f.members[0].applicationNumber + f.members[0].applicationKind,
              "WOCN2023094567W");
  }
  // Same-day twins are one family: the utility model's holds the invention's A and B.
  std::vector<std::string> twins;
  for (const TOpsFamilyMember& m : ReadFamilyReply(ops.Get("family/application/docdb/CN.202320654321.U").body).members)
    twins.push_back(m.Shown());
  EXPECT_EQ(twins, (Names{"CN219345678U", "CN116789012A", "CN116789012B"}));
  // With legal, the events of the legal service; without, none.
  Xml withLegal(ops.Get("family/publication/docdb/CN.219345678.U/legal").body);
  Xml legal(ops.Get("legal/publication/docdb/CN.219345678.U").body);
  EXPECT_GT(All(legal.Root(), "legal").size(), 0u);
  EXPECT_EQ(All(withLegal.Root(), "legal").size(), All(legal.Root(), "legal").size());
  EXPECT_TRUE(All(Xml(ops.Get("family/publication/docdb/CN.219345678.U").body).Root(), "legal").empty());
  Xml withBiblio(ops.Get("family/publication/docdb/CN.219345678.U/biblio").body);
  EXPECT_EQ(All(withBiblio.Root(), "exchange-document").size(), 3u);
  // Unknown documents and constituents.
  EXPECT_EQ(FaultCode(ops.Get("family/publication/docdb/CN.999999999.A")), "SERVER.EntityNotFound");
  EXPECT_EQ(ops.Get("family/publication/docdb/CN.115012345.B/images").status, 404);
}

TEST_F(DemoOpsTest, CqlAsOpsDocumentsIt) {
  Ops ops(*site_);
  // Words, not pieces of words ("ion" is no longer found inside "transmission"); phrases
  // keep their order; any and all.
  EXPECT_EQ(Count(ops, "ti=ion"), Count(ops, "ti=lithium"));
  int separators = Count(ops, "ti all \"battery separator\"");
  EXPECT_GT(separators, 0);
  EXPECT_EQ(Count(ops, "ti=\"battery separator\""), separators);
  EXPECT_EQ(Count(ops, "ti=\"separator battery\""), 0);
  EXPECT_EQ(Count(ops, "ti any \"battery separator\""), Count(ops, "ti=battery or ti=separator"));
  // The glossary's nesting: a Chinese word as typed, or by its English equivalents.
  const std::string glossary = "(ti all \"电池隔膜\" or (ti any \"battery cell\" and ti any \"separator diaphragm\"))";
  EXPECT_EQ(Count(ops, glossary),
            Count(ops, "ti all \"电池隔膜\" or ((ti=battery or ti=cell) and (ti=separator or ti=diaphragm))"));
  EXPECT_GT(Count(ops, glossary), Count(ops, "ti all \"电池隔膜\""));
  // Names in either form; inventors; ia both.
  EXPECT_EQ(Count(ops, "pa=长江变速器"), 7);
  EXPECT_EQ(Count(ops, "pa all \"changjiang transmission\""), 6);  // the fresh one has no Latin name yet
  EXPECT_EQ(Count(ops, "in=\"ZHOU TAO\" and pa=长江变速器"), 2);
  EXPECT_EQ(Count(ops, "ia=周涛"), Count(ops, "in=周涛 or pa=周涛"));
  // cpc knows the CPC's own codes, ic the IPC's, cl either.
  int tagged = Count(ops, "cpc=Y02E");
  EXPECT_GT(tagged, 0);
  EXPECT_EQ(Count(ops, "ic=Y02E"), 0);
  EXPECT_EQ(Count(ops, "cl=Y02E"), tagged);
  EXPECT_EQ(Count(ops, "cpca=Y02E"), tagged);
  EXPECT_EQ(Count(ops, "cpc=F16H2061/326"), 1);
  // Dates in every form OPS reads.
  int span = Count(ops, "pd within \"20230101 20241231\"");
  EXPECT_GT(span, 0);
  for (const char* form : {"pd within \"2023 2024\"", "pd within \"01/2023 31.12.2024\"", "pd=\"2023-01 2024-12-31\"",
                           "pd>=2023 and pd<=2024"})
    EXPECT_EQ(Count(ops, form), span) << form;
  // Numbers: application, publication, priority, any of them, the family.
  EXPECT_EQ(Count(ops, "ap=CN202320654321"), 1);
  EXPECT_EQ(Count(ops, "pr=CN202210987654"), 1);
  EXPECT_EQ(Count(ops, "num=CN116789012"), 1);
  EXPECT_EQ(Count(ops, "famn=" + BiblioOf(ops, "202310123456")[0].familyId), 2);
  // A term alone takes its index from its form.
  EXPECT_EQ(Count(ops, "gearbox"), Count(ops, "txt=gearbox"));
  EXPECT_EQ(Count(ops, "CN"), Count(ops, "pn=CN"));
  EXPECT_EQ(Count(ops, "2025"), Count(ops, "pd=2025"));
  EXPECT_EQ(Count(ops, "F16H"), Count(ops, "cl=F16H"));
  // Ten terms for one index and twenty in all pass; more, a bad date or a leading not
  // are refused as OPS refuses bad CQL.
  const char* const indexes[] = {"ti", "ab", "ta", "pa", "in"};
  std::string twenty = "pn=CN";
  for (int i = 0; i < 19; ++i) twenty += std::string(" and ") + indexes[i % 5] + "=w" + std::to_string(i);
  for (const std::string& fits : {twenty, std::string("ti any \"a b c d e f g h i j\"")})
    EXPECT_EQ(ops.Get("published-data/search?q=" + Encode(fits)).status, 404) << fits;
  const std::string twentyOne = twenty + " and ti=more";
  for (const std::string& bad : {std::string("ti any \"a b c d e f g h i j k\""), twentyOne, std::string("not ti=gearbox"),
                                 std::string("pd=20230230"), std::string("ti within \"a b\""), std::string("pd any 2020")}) {
    Reply r = ops.Get("published-data/search?q=" + Encode(bad));
    EXPECT_EQ(r.status, 400) << bad;
    EXPECT_EQ(FaultCode(r), "CLIENT.CQL") << bad;
  }
}

TEST_F(DemoOpsTest, TodayHidesWhatCameLater) {
  DemoSite then({"--ops-today", "2025-01-01", "--ops-hits", "applications"}, false, true);
  Ops was(then), now(*site_);
  Reply first = was.Get("published-data/search?q=pn%3DCN");
  EXPECT_EQ(first.Header("date").substr(0, 16), "Wed, 01 Jan 2025");
  // A new application: not found before it was published.
  EXPECT_EQ(was.Get("published-data/application/epodoc/CN202411223344/biblio").status, 404);
  EXPECT_EQ(Count(was, "pa=长江变速器"), 6);
  EXPECT_EQ(Count(now, "pa=长江变速器"), 7);
  // A new grant: the A alone before.
  EXPECT_EQ(BiblioOf(was, "202310123456").size(), 1u);
  EXPECT_EQ(BiblioOf(now, "202310123456").size(), 2u);
  // Legal changes: the utility model given up when its twin was granted, another lapsed.
  auto codes = [](Ops& ops, const std::string& application) {
    Names c;
    for (const TOpsLegalEvent& e :
         ReadLegalReply(ops.Get("legal/application/epodoc/CN" + application).body, TOpsApplication{application}))
      c.push_back(e.code);
    return c;
  };
  EXPECT_EQ(codes(was, "202320654321"), Names{"GR01"});
  EXPECT_EQ(codes(now, "202320654321"), (Names{"GR01", "AV01"}));
  EXPECT_EQ(codes(was, "202020111222"), Names{"GR01"});
  EXPECT_EQ(codes(now, "202020111222"), (Names{"GR01", "CF01"}));
  EXPECT_EQ(codes(was, "202310123456"), (Names{"PB01", "SE01"}));
  // What came before stays as it was.
  EXPECT_EQ(Count(was, "ti all \"battery\" and pn=CN"), Count(now, "ti all \"battery\" and pn=CN"));
}

TEST(DemoOpsSwitches, EnglishIndexAndOneHitPerPublication) {
  DemoSite site({"--ops-english-index", "--ops-hits", "publications", "--ops-limit", "search=1000"}, false, true);
  Ops ops(site);
  // Chinese words find nothing in the English titles; their English equivalents do.
  EXPECT_EQ(Count(ops, "ti all \"电池隔膜\""), 0);
  EXPECT_EQ(Count(ops, "ti all \"变速箱\""), 0);
  Xml found(ops.Get("published-data/search/biblio?q=" + Encode("ti all \"变速箱\" or ti any \"gearbox gearboxes\"") +
                    "&Range=1-50")
                .body);
  auto titles = All(found.Root(), "invention-title");
  ASSERT_FALSE(titles.empty());
  for (auto t : titles) {
    if (std::string(t.node().attribute("lang").value()) == "en") {
      EXPECT_NE(std::string(t.node().child_value()).find("gearbox"), std::string::npos) << t.node().child_value();
    }
  }
  EXPECT_EQ(Count(ops, "pa=长江变速器"), 9);  // names keep both forms
  // Every publication a hit: an A and its B are two, newest first.
  Xml hits(ops.Get("published-data/search/biblio?q=ti%3Dgearbox&Range=1-25").body);
  std::vector<std::string> shown;
  std::set<std::string> applications;
  std::string last = "99999999";
  for (auto d : All(hits.Root(), "exchange-document")) {
    shown.push_back(std::string(d.node().attribute("doc-number").value()) + d.node().attribute("kind").value());
    applications.insert(First(d.node().child("bibliographic-data").child("application-reference"), "doc-number"));
    std::string date = First(d.node().child("bibliographic-data").child("publication-reference"), "date");
    EXPECT_LE(date, last);
    last = date;
  }
  EXPECT_EQ(shown.size(), 11u);
  EXPECT_EQ(applications.size(), 8u);
  for (const char* pub : {"116789012A", "116789012B", "219345678U", "115012345A", "115012345B"})
    EXPECT_NE(std::find(shown.begin(), shown.end(), pub), shown.end()) << pub;
  EXPECT_EQ(Count(ops, "pn=CN116789012"), 2);
  // A publication's own date counts: 2023 holds the twins' A and U, not the grant of 2025.
  EXPECT_EQ(Count(ops, "ti=gearbox and pd within \"2023 2023\""), 2);
}

TEST(DemoOpsSwitches, FamilyRequestsAreInpadocLikeLegalOnes) {
  DemoSite site({"--ops-limit", "inpadoc=2"}, false, true);
  Ops ops(site);
  EXPECT_EQ(ops.Get("legal/application/epodoc/CN02123456").status, 200);
  EXPECT_EQ(ops.Get("family/application/epodoc/CN02123456").status, 200);
  Reply third = ops.Get("family/publication/docdb/CN.115012345.B");
  EXPECT_EQ(third.status, 403);
  EXPECT_NE(third.Header("x-throttling-control").find("inpadoc=black:0"), std::string::npos);
  EXPECT_EQ(ops.Get("published-data/application/epodoc/CN02123456/biblio").status, 200);
}

}  // namespace
