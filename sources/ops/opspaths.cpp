#include "sources/ops/opspaths.h"

#include "sources/ops/opscql.h"

namespace opspaths {

namespace {
const char kData[] = "rest-services/published-data/";
}

std::string Url(const std::string& host, const std::string& path) { return "https://" + host + "/3.2/" + path; }

std::string Token() { return "auth/accesstoken"; }

std::string Search(const std::string& cql, long first, long last) {
  return std::string(kData) + "search/biblio?q=" + QueryValueEncoded(cql) + "&Range=" + std::to_string(first) +
         "-" + std::to_string(last);
}

std::string ApplicationBiblioDocdb(const TOpsApplication& app, char kind) {
  return std::string(kData) + "application/docdb/" + app.Docdb(kind) + "/biblio";
}

std::string ApplicationBiblioEpodoc(const TOpsApplication& app) {
  return std::string(kData) + "application/epodoc/" + app.Epodoc() + "/biblio";
}

std::string ApplicationCql(const TOpsApplication& app) { return "ap=" + app.Epodoc(); }

std::string PublicationBiblioDocdb(const TOpsPublication& pub) {
  return std::string(kData) + "publication/docdb/" + pub.Docdb() + "/biblio";
}

std::string PublicationBiblioEpodoc(const TOpsPublication& pub) {
  return std::string(kData) + "publication/epodoc/" + pub.Epodoc() + "/biblio";
}

std::string Legal(const TOpsPublication& pub) { return "rest-services/legal/publication/docdb/" + pub.Docdb(); }

std::string Family(const TOpsPublication& pub) { return "rest-services/family/publication/docdb/" + pub.Docdb(); }

std::string ApplicationFamily(const TOpsApplication& app, char kind) {
  return "rest-services/family/application/docdb/" + app.Docdb(kind);
}

std::string ImageInquiry(const TOpsPublication& pub) {
  return std::string(kData) + "publication/docdb/" + pub.Docdb() + "/images";
}

std::string FullDocumentPage(const TOpsPublication& pub, int page) {
  return std::string(kData) + "images/CN/" + pub.number + "/" + std::string(1, pub.kind) +
         "/fullimage.tiff?Range=" + std::to_string(page);
}

}  // namespace opspaths
