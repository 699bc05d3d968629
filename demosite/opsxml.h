#pragma once
// The OPS role's XML replies, written with pugixml and namespaced as OPS writes them
// (default namespace http://www.epo.org/exchange, ops = http://ops.epo.org). UTF-8.
#include <string>
#include <utility>
#include <vector>

#include "demosite/opscorpus.h"

using OpsDocument = std::pair<const OpsRecord*, const OpsPublication*>;

// <fault xmlns="http://ops.epo.org"><code/><message/></fault>
std::string FaultXml(const std::string& code, const std::string& message);

// The gateway's <error>: code, message, then a description or a moreInfo when given.
std::string ErrorXml(const std::string& code, const std::string& message, const std::string& description = "",
                     const std::string& moreInfo = "");

// A search reply: hits begin..end of total (total-result-count capped at 10000), each a
// publication reference, or with biblio an exchange-documents holding the hit's latest
// publication (with fullCycle every publication of it, oldest first).
std::string SearchXml(const std::string& query, int begin, int end, int total,
                      const std::vector<const OpsRecord*>& hits, bool biblio, bool fullCycle);

// A biblio retrieval: one exchange-document per publication.
std::string BiblioXml(const std::vector<OpsDocument>& documents);

// The legal family of the record, as asked for by one of its publications: its WO member
// first (PCT records), then its CN publications, the events on the first of them.
std::string LegalXml(const OpsDocument& asked);

// The image inquiry of a publication; pages > 0 replaces its true page count.
std::string InquiryXml(const OpsDocument& asked, int pages);
