#pragma once
// The safe parse and the namespace-aware walk the reply readers share (inside sources/ops
// only: users of the readers never see pugixml).
#include <pugixml.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "sources/ops/opsreplies.h"

namespace opsxml {

extern const char kExchangeNs[];  // http://www.epo.org/exchange
extern const char kOpsNs[];       // http://ops.epo.org

// Bounds checked before and after parsing: a larger, deeper or busier reply is refused.
constexpr size_t kMaxReplyBytes = 16u << 20;
constexpr size_t kMaxElements = 1000000;
constexpr size_t kMaxDepth = 64;

// A reply parsed as UTF-8, without document type processing or entities beyond XML's
// own: a reply over the bounds, one that is not well-formed or one that holds a document
// type declaration throws EOpsReplyError.
class TReply {
 public:
  explicit TReply(const std::string& body);
  pugi::xml_node Root() const { return doc_.document_element(); }

 private:
  pugi::xml_document doc_;
};

// The namespace URI of an element, from the xmlns declarations in scope; "" for none.
std::string NamespaceOf(pugi::xml_node element);
// The element's name without its prefix.
const char* LocalName(pugi::xml_node element);
bool Is(pugi::xml_node element, const char* ns, const char* local);

// The first child element, or every child element, of that namespace and local name.
pugi::xml_node Child(pugi::xml_node parent, const char* ns, const char* local);
std::vector<pugi::xml_node> Children(pugi::xml_node parent, const char* ns, const char* local);
// Child of child of ...: the first match at each step.
pugi::xml_node Path(pugi::xml_node from, const char* ns, std::initializer_list<const char*> locals);

// All the text inside the element, cleaned (CleanReplyText).
std::string Text(pugi::xml_node element);
// An attribute's value, cleaned like text.
std::string Attr(pugi::xml_node element, const char* name);

// A whole number in an attribute, within [low, high]; EOpsReplyError naming the attribute
// otherwise (missing, not a number, out of range).
int64_t Count(pugi::xml_node element, const char* attribute, int64_t low, int64_t high);

// A document-id element's fields; all "" when there is no such element.
struct TDocumentId {
  std::string country, number, kind, date;
};
// The document-id of that document-id-type ("docdb", "epodoc", "original") inside a
// reference element.
TDocumentId DocumentId(pugi::xml_node reference, const char* type);

// A date as YYYYMMDD, or "" when the text is not eight digits.
std::string DateOrEmpty(const std::string& text);

// The priority claims among the children of parent (priority-claim elements), each
// number once.
std::vector<TOpsPriority> PriorityClaims(pugi::xml_node parent);

// Refusals the readers share.
[[noreturn]] void Missing(const std::string& what);
[[noreturn]] void Impossible(const std::string& what);

}  // namespace opsxml
