#include "demosite/opsxml.h"

#include <pugixml.hpp>

#include <sstream>

#include "demosite/pagetext.h"

namespace {

using pugi::xml_node;

const char kExchange[] = "http://www.epo.org/exchange";
const char kOps[] = "http://ops.epo.org";
const char kXlink[] = "http://www.w3.org/1999/xlink";

std::string Save(pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

void Declare(pugi::xml_document& doc) {
  xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
}

// The root every data reply shares.
xml_node WorldPatentData(pugi::xml_document& doc) {
  Declare(doc);
  xml_node style = doc.append_child(pugi::node_pi);
  style.set_name("xml-stylesheet");
  style.set_value("type=\"text/xsl\" href=\"/3.2/style/exchange.xsl\"");
  xml_node root = doc.append_child("ops:world-patent-data");
  root.append_attribute("xmlns") = kExchange;
  root.append_attribute("xmlns:ops") = kOps;
  root.append_attribute("xmlns:xlink") = kXlink;
  return root;
}

xml_node Text(xml_node parent, const char* name, const std::string& text) {
  xml_node n = parent.append_child(name);
  n.text().set(text.c_str());
  return n;
}

std::string Str(long v) { return std::to_string(v); }

// <document-id document-id-type="docdb"><country/><doc-number/><kind/>[<date/>]</document-id>
void DocdbId(xml_node parent, const std::string& country, const std::string& number, const std::string& kind,
             int date) {
  xml_node id = parent.append_child("document-id");
  id.append_attribute("document-id-type") = "docdb";
  Text(id, "country", country);
  Text(id, "doc-number", number);
  Text(id, "kind", kind);
  if (date) Text(id, "date", Str(date));
}

void OtherId(xml_node parent, const char* type, const std::string& number, int date) {
  xml_node id = parent.append_child("document-id");
  id.append_attribute("document-id-type") = type;
  Text(id, "doc-number", number);
  if (date) Text(id, "date", Str(date));
}

std::string Kind(char k) { return std::string(1, k); }

// epodoc writes the kind letter after every CN number but an A publication's.
std::string Epodoc(const OpsPublication& p) { return "CN" + p.number + (p.kind == 'A' ? "" : Kind(p.kind)); }

std::string PadLeft(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

// "H01M10/0525" in the fixed-width form of classifications-ipcr.
std::string FixedWidthIpc(const std::string& ipc) {
  size_t slash = ipc.find('/');
  return ipc.substr(0, 4) + PadLeft(ipc.substr(4, slash - 4), 4) + "/" + PadLeft(ipc.substr(slash + 1), 6) +
         "            A I";
}

void Classifications(xml_node biblio, const OpsRecord& r) {
  if (!r.ipcs.empty()) {
    xml_node ipcr = biblio.append_child("classifications-ipcr");
    for (size_t i = 0; i < r.ipcs.size(); ++i) {
      xml_node c = ipcr.append_child("classification-ipcr");
      c.append_attribute("sequence") = int(i + 1);
      Text(c, "text", FixedWidthIpc(r.ipcs[i]));
    }
  }
  if (r.cpcs.empty()) return;
  xml_node classes = biblio.append_child("patent-classifications");
  for (size_t i = 0; i < r.cpcs.size(); ++i) {
    const std::string& code = r.cpcs[i];
    size_t slash = code.find('/');
    xml_node cpc = classes.append_child("patent-classification");
    cpc.append_attribute("sequence") = int(i + 1);
    xml_node scheme = cpc.append_child("classification-scheme");
    scheme.append_attribute("office") = "EP";
    scheme.append_attribute("scheme") = "CPCI";
    Text(cpc, "section", code.substr(0, 1));
    Text(cpc, "class", code.substr(1, 2));
    Text(cpc, "subclass", code.substr(3, 1));
    Text(cpc, "main-group", code.substr(4, slash - 4));
    Text(cpc, "subgroup", code.substr(slash + 1));
    Text(cpc, "classification-value", i < r.inventiveCpcs ? "I" : "A");
    Text(cpc, "generating-office", "CN");
  }
}

void ApplicationReference(xml_node parent, const OpsRecord& r) {
  xml_node app = parent.append_child("application-reference");
  app.append_attribute("doc-id") = Str(r.docId).c_str();
  DocdbId(app, "CN", r.application, "A", r.applicationDate);
  OtherId(app, "epodoc", "CN" + r.application, r.applicationDate);
  OtherId(app, "original", r.application + "." + r.check, 0);
}

void PublicationReference(xml_node parent, const OpsPublication& p) {
  xml_node pub = parent.append_child("publication-reference");
  DocdbId(pub, "CN", p.number, Kind(p.kind), p.date);
  OtherId(pub, "epodoc", Epodoc(p), p.date);
}

// Names as OPS lists them: every epodoc one, then every original one.
void Names(xml_node parties, const char* list, const char* one, const std::vector<OpsName>& names,
           const OpsRecord& r) {
  if (names.empty()) return;
  xml_node all = parties.append_child(list);
  const std::string nameOf = std::string(one) + "-name";
  for (bool latin : {true, false}) {
    int sequence = 0;
    for (const OpsName& a : names) {
      ++sequence;
      if (latin && a.latin.empty()) continue;
      xml_node n = all.append_child(one);
      n.append_attribute("sequence") = sequence;
      n.append_attribute("data-format") = latin ? "epodoc" : "original";
      Text(n.append_child(nameOf.c_str()), "name",
           latin ? a.latin + (r.countryMark ? "\u2002[CN]" : "") : (r.leadingSpace ? " " : "") + a.original);
    }
  }
}

// The examiner's citations: CN publications, and now and then a paper.
void ReferencesCited(xml_node biblio, const OpsRecord& r) {
  if (r.citations.empty()) return;
  xml_node refs = biblio.append_child("references-cited");
  int sequence = 0;
  auto citation = [&] {
    xml_node c = refs.append_child("citation");
    c.append_attribute("cited-phase") = "search";
    c.append_attribute("cited-by") = "examiner";
    c.append_attribute("sequence") = ++sequence;
    return c;
  };
  static const char* const kCategories[] = {"X", "Y", "A"};
  for (const OpsPublication& p : r.citations) {
    xml_node c = citation();
    xml_node pat = c.append_child("patcit");
    pat.append_attribute("dnum-type") = "publication number";
    pat.append_attribute("num") = sequence;
    OtherId(pat, "epodoc", Epodoc(p), 0);
    DocdbId(pat, "CN", p.number, Kind(p.kind), p.date);
    Text(c, "category", kCategories[(sequence - 1) % 3]);
  }
  if (r.nplCitation) {
    xml_node c = citation();
    xml_node npl = c.append_child("nplcit");
    npl.append_attribute("num") = sequence;
    Text(npl, "text", "ZHANG Y. et al., Design and analysis of " +
                          (r.titleEn.empty() ? std::string("the device") : r.titleEn) +
                          ", Journal of Mechanical Engineering");
    Text(c, "category", "A");
  }
}

void PriorityClaims(xml_node biblio, const OpsRecord& r) {
  xml_node claims = biblio.append_child("priority-claims");
  int sequence = 0;
  for (const OpsPriority& p : r.priorities) {
    xml_node claim = claims.append_child("priority-claim");
    claim.append_attribute("sequence") = ++sequence;
    claim.append_attribute("kind") = "national";
    OtherId(claim, "epodoc", p.Epodoc(), p.date);
    if (p.country == "CN") OtherId(claim, "original", p.number, 0);
  }
}

void ExchangeDocument(xml_node parent, const OpsRecord& r, const OpsPublication& p) {
  xml_node doc = parent.append_child("exchange-document");
  doc.append_attribute("system") = "ops.epo.org";
  doc.append_attribute("family-id") = Str(r.familyId).c_str();
  doc.append_attribute("country") = "CN";
  doc.append_attribute("doc-number") = p.number.c_str();
  doc.append_attribute("kind") = Kind(p.kind).c_str();
  xml_node biblio = doc.append_child("bibliographic-data");
  PublicationReference(biblio, p);
  Classifications(biblio, r);
  ApplicationReference(biblio, r);
  PriorityClaims(biblio, r);
  xml_node parties = biblio.append_child("parties");
  Names(parties, "applicants", "applicant", r.applicants, r);
  Names(parties, "inventors", "inventor", r.inventors, r);
  for (auto [lang, title] : {std::pair{"en", &r.titleEn}, {"ol", &r.titleOl}}) {
    if (title->empty()) continue;
    Text(biblio, "invention-title", *title).append_attribute("lang") = lang;
  }
  ReferencesCited(biblio, r);
  for (auto [lang, text] : {std::pair{"en", &r.abstractEn}, {"ol", &r.abstractOl}}) {
    if (text->empty()) continue;
    xml_node ab = doc.append_child("abstract");
    ab.append_attribute("lang") = lang;
    Text(ab, "p", *text);
  }
}

void Legal(xml_node member, const OpsLegalEvent& e, const std::string& country, const std::string& application,
           const std::string& kind, const char* ipr) {
  xml_node legal = member.append_child("ops:legal");
  legal.append_attribute("code") = e.code.c_str();
  legal.append_attribute("desc") = e.desc.c_str();
  legal.append_attribute("infl") = std::string(1, e.influence).c_str();
  legal.append_attribute("dateMigr") = "00010101";
  std::string code = e.code.substr(0, e.code.find_last_not_of(' ') + 1);
  std::string number = PadLeft(application, 12);
  xml_node pre = Text(legal, "ops:pre", country + number + kind + " " + IsoDate(e.date) + e.code + e.influence + e.desc);
  pre.append_attribute("line") = "00001";
  auto field = [&](const char* name, const char* desc, const std::string& value) {
    Text(legal, name, value).append_attribute("desc") = desc;
  };
  field("ops:L001EP", "Country Code", country);
  field("ops:L002EP", "Filing / Published Document", "F");
  field("ops:L003EP", "Document Number", number);
  field("ops:L004EP", "Kind Code", kind);
  field("ops:L005EP", "IPR Type", ipr);
  field("ops:L007EP", "Gazette DATE", IsoDate(e.date));
  field("ops:L008EP", "Legal Event Code 1", code);
}

// Section start pages of a document of n pages, where its page images have them:
// bibliography and abstract on page 1, then claims, description and drawings; a design is
// its drawings.
std::vector<std::pair<const char*, int>> Sections(int n, bool design) {
  if (design) return {{"BIBLIOGRAPHY", 1}, {"DRAWINGS", std::min(2, n)}};
  const pagetext::Sections at = pagetext::SectionsOf(n);
  std::vector<std::pair<const char*, int>> s = {{"ABSTRACT", 1}, {"BIBLIOGRAPHY", 1}};
  const std::pair<const char*, int> later[] = {{"CLAIMS", at.claims}, {"DESCRIPTION", at.description},
                                               {"DRAWINGS", at.drawings}};
  for (const auto& [name, page] : later)
    if (page > 0) s.emplace_back(name, page);
  return s;
}

void Instance(xml_node result, const char* desc, int pages, const std::string& link,
              const std::vector<const char*>& formats, const std::vector<std::pair<const char*, int>>& sections) {
  xml_node i = result.append_child("ops:document-instance");
  i.append_attribute("system") = "ops.epo.org";
  i.append_attribute("number-of-pages") = pages;
  i.append_attribute("desc") = desc;
  i.append_attribute("link") = link.c_str();
  xml_node options = i.append_child("ops:document-format-options");
  for (const char* f : formats) Text(options, "ops:document-format", f);
  for (const auto& [name, start] : sections) {
    xml_node s = i.append_child("ops:document-section");
    s.append_attribute("name") = name;
    s.append_attribute("start-page") = start;
  }
}

}  // namespace

std::string FaultXml(const std::string& code, const std::string& message) {
  pugi::xml_document doc;
  Declare(doc);
  doc.first_child().append_attribute("standalone") = "yes";
  xml_node fault = doc.append_child("fault");
  fault.append_attribute("xmlns") = kOps;
  Text(fault, "code", code);
  Text(fault, "message", message);
  return Save(doc);
}

std::string ErrorXml(const std::string& code, const std::string& message, const std::string& description,
                     const std::string& moreInfo) {
  pugi::xml_document doc;
  xml_node error = doc.append_child("error");
  Text(error, "code", code);
  Text(error, "message", message);
  if (!description.empty()) Text(error, "description", description);
  if (!moreInfo.empty()) Text(error, "moreInfo", moreInfo);
  return Save(doc);
}

std::string SearchXml(const std::string& query, int begin, int end, int total, const std::vector<OpsDocument>& hits,
                      bool biblio, bool fullCycle) {
  pugi::xml_document doc;
  xml_node search = WorldPatentData(doc).append_child("ops:biblio-search");
  search.append_attribute("total-result-count") = std::min(total, 10000);
  Text(search, "ops:query", query).append_attribute("syntax") = "CQL";
  xml_node range = search.append_child("ops:range");
  range.append_attribute("begin") = begin;
  range.append_attribute("end") = end;
  xml_node result = search.append_child("ops:search-result");
  for (const auto& [r, p] : hits) {
    if (biblio) {
      xml_node docs = result.append_child("exchange-documents");
      if (fullCycle)
        for (const OpsPublication& each : r->publications) ExchangeDocument(docs, *r, each);
      else
        ExchangeDocument(docs, *r, *p);
    } else {
      xml_node ref = result.append_child("ops:publication-reference");
      ref.append_attribute("system") = "ops.epo.org";
      ref.append_attribute("family-id") = Str(r->familyId).c_str();
      DocdbId(ref, "CN", p->number, Kind(p->kind), 0);
    }
  }
  return Save(doc);
}

std::string BiblioXml(const std::vector<OpsDocument>& documents) {
  pugi::xml_document doc;
  xml_node docs = WorldPatentData(doc).append_child("exchange-documents");
  for (const auto& [r, p] : documents) ExchangeDocument(docs, *r, *p);
  return Save(doc);
}

std::string FamilyXml(const OpsDocument& asked, const std::vector<const OpsRecord*>& familyRecords, bool legal,
                      bool biblio) {
  pugi::xml_document doc;
  xml_node family = WorldPatentData(doc).append_child("ops:patent-family");
  family.append_attribute("legal") = legal ? "true" : "false";
  size_t count = 0;
  for (const OpsRecord* r : familyRecords) count += r->publications.size() + r->foreign.size();
  family.append_attribute("total-result-count") = int(count);
  DocdbId(family.append_child("ops:publication-reference"), "CN", asked.second->number, Kind(asked.second->kind), 0);
  auto member = [&](const OpsRecord& r) {
    xml_node m = family.append_child("ops:family-member");
    m.append_attribute("family-id") = Str(r.familyId).c_str();
    return m;
  };
  // Every member claims what its record claims.
  auto priorities = [&](xml_node m, const OpsRecord& r) {
    for (const OpsPriority& p : r.priorities) {
      xml_node claim = m.append_child("priority-claim");
      claim.append_attribute("kind") = "national";
      DocdbId(claim, p.country, p.number, Kind(p.kind), p.date);
      Text(claim, "priority-active-indicator", p.kind == 'W' ? "NO" : "YES");
    }
  };
  for (const OpsRecord* r : familyRecords) {
    for (const OpsForeign& f : r->foreign) {
      xml_node m = member(*r);
      xml_node pub = m.append_child("publication-reference");
      DocdbId(pub, f.country, f.number, f.kind, f.date);
      OtherId(pub, "epodoc", f.country + f.number, f.date);
      DocdbId(m.append_child("application-reference"), f.country, f.application, Kind(f.applicationKind),
              f.applicationDate);
      priorities(m, *r);
      if (legal)
        for (const OpsLegalEvent& e : f.events) Legal(m, e, f.country, f.application, Kind(f.applicationKind), "PI");
    }
  }
  for (const OpsRecord* r : familyRecords) {
    const char* ipr = r->type == 3 ? "DS" : r->type == 2 || r->type == 9 ? "UM" : "PI";
    for (size_t i = 0; i < r->publications.size(); ++i) {
      xml_node m = member(*r);
      const OpsPublication& p = r->publications[i];
      xml_node pub = m.append_child("publication-reference");
      DocdbId(pub, "CN", p.number, Kind(p.kind), p.date);
      OtherId(pub, "epodoc", Epodoc(p), p.date);
      xml_node app = m.append_child("application-reference");
      app.append_attribute("doc-id") = Str(r->docId).c_str();
      DocdbId(app, "CN", r->application, "A", r->applicationDate);
      priorities(m, *r);
      // Events concern the application; OPS hangs them on its first publication.
      if (legal && i == 0)
        for (const OpsLegalEvent& e : r->events) Legal(m, e, "CN", r->application, "A", ipr);
      if (biblio) ExchangeDocument(m, *r, p);
    }
  }
  return Save(doc);
}

std::string LegalXml(const OpsDocument& asked, const std::vector<const OpsRecord*>& family) {
  return FamilyXml(asked, family, true, false);
}

std::string InquiryXml(const OpsDocument& asked, int pages) {
  const OpsRecord& r = *asked.first;
  const OpsPublication& p = *asked.second;
  std::string prefix = r.bareLinks ? "" : "published-data/images/";
  pugi::xml_document doc;
  xml_node inquiry = WorldPatentData(doc).append_child("ops:document-inquiry");
  DocdbId(inquiry.append_child("ops:publication-reference"), "CN", p.number, Kind(p.kind), 0);
  xml_node result = inquiry.append_child("ops:inquiry-result");
  DocdbId(result.append_child("publication-reference"), "CN", p.number, Kind(p.kind), 0);
  const std::vector<const char*> pdfTiff = {"application/pdf", "application/tiff"};
  if (r.Pct() && !r.foreign.empty()) {
    const OpsForeign& f = r.foreign[0];
    Instance(result, "FullDocument", f.pages, prefix + "WO/" + f.number + "/" + f.kind + "/fullimage", pdfTiff,
             Sections(f.pages, false));
  }
  std::string base = prefix + "CN/" + p.number + "/" + Kind(p.kind);
  auto sections = Sections(p.pages, r.type == 3);
  Instance(result, "FullDocument", pages > 0 ? pages : p.pages, base + "/fullimage", pdfTiff, sections);
  if (sections.back().first == std::string("DRAWINGS"))
    Instance(result, "Drawing", p.pages - sections.back().second + 1, base + "/thumbnail", pdfTiff, {});
  Instance(result, "FirstPageClipping", 1, prefix + "CN/" + p.number + "/PA/firstpage",
           {"application/pdf", "application/tiff", "image/jpeg", "image/png"}, {});
  return Save(doc);
}
