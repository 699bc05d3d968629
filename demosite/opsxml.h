#pragma once
// The OPS role's XML replies, written with pugixml and namespaced as OPS writes them
// (default namespace http://www.epo.org/exchange, ops = http://ops.epo.org). UTF-8.
#include <string>
#include <utility>
#include <vector>

#include "demosite/opscorpus.h"

// <fault xmlns="http://ops.epo.org"><code/><message/></fault>
std::string FaultXml(const std::string& code, const std::string& message);

// The gateway's <error>: code, message, then a description or a moreInfo when given.
std::string ErrorXml(const std::string& code, const std::string& message, const std::string& description = "",
                     const std::string& moreInfo = "");

// A search reply: hits begin..end of total (total-result-count capped at 10000), each a
// publication reference, or with biblio an exchange-documents holding the hit's
// publication (with fullCycle every publication of its record, oldest first).
std::string SearchXml(const std::string& query, int begin, int end, int total, const std::vector<OpsDocument>& hits,
                      bool biblio, bool fullCycle);

// A biblio retrieval: one exchange-document per publication.
std::string BiblioXml(const std::vector<OpsDocument>& documents);

// The INPADOC family of the asked publication's record, family holding the records of
// its family with the asked one first: the members at other offices (a PCT record's WO
// member first), then the CN publications record by record, each with its application
// reference and priority claims. With legal, each member carries its events (a record's
// on its first CN member); with biblio, each CN member its exchange-document.
std::string FamilyXml(const OpsDocument& asked, const std::vector<const OpsRecord*>& family, bool legal, bool biblio);

// The legal service's reply: FamilyXml with the events.
std::string LegalXml(const OpsDocument& asked, const std::vector<const OpsRecord*>& family);

// The image inquiry of a publication; pages > 0 replaces its true page count.
std::string InquiryXml(const OpsDocument& asked, int pages);
