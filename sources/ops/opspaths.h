#pragma once
#include <string>

#include "sources/ops/opsnumbers.h"

// The requests the OPS source makes, as paths below "https://OpsHost/3.2/". Every piece
// that comes from a number is digits and letters only, so nothing needs escaping.
namespace opspaths {

// "https://" + host + "/3.2/" + path; host is "name[:port]".
std::string Url(const std::string& host, const std::string& path);

// POST, Basic authentication, body "grant_type=client_credentials".
std::string Token();

// A page of search hits with their bibliographic data: cql (UTF-8) percent-encoded,
// hits first to last (1-based, at most 100 of them, last at most 2000).
std::string Search(const std::string& cql, long first, long last);

// The publications of an application: docdb with one of its DocdbKinds, or epodoc.
std::string ApplicationBiblioDocdb(const TOpsApplication& app, char kind);
std::string ApplicationBiblioEpodoc(const TOpsApplication& app);
// The CQL that finds an application's publications by search: "ap=CN201710601862".
std::string ApplicationCql(const TOpsApplication& app);

// One publication's bibliographic data.
std::string PublicationBiblioDocdb(const TOpsPublication& pub);
std::string PublicationBiblioEpodoc(const TOpsPublication& pub);

// The INPADOC legal events of the publication's family.
std::string Legal(const TOpsPublication& pub);

// The INPADOC family of a publication, or of an application (docdb with one of its
// DocdbKinds): its members at every office.
std::string Family(const TOpsPublication& pub);
std::string ApplicationFamily(const TOpsApplication& app, char kind);

// The image inquiry of a publication, and one page of its full document as TIFF.
std::string ImageInquiry(const TOpsPublication& pub);
std::string FullDocumentPage(const TOpsPublication& pub, int page);

}  // namespace opspaths
