#include "sources/ops/opsxml.h"

#include <algorithm>
#include <cstring>

#include "base/bytes.h"
#include "sources/ops/opserrors.h"
#include "sources/ops/opstexts.h"
#include "sources/replytext.h"

namespace opsxml {

const char kExchangeNs[] = "http://www.epo.org/exchange";
const char kOpsNs[] = "http://ops.epo.org";

namespace {

// The next node of a walk over the subtree below root, in document order, and the depth
// it is at; no recursion, so that no shape of reply can exhaust the stack.
pugi::xml_node NextInside(pugi::xml_node node, pugi::xml_node root, size_t& depth) {
  if (node.first_child()) {
    ++depth;
    return node.first_child();
  }
  while (node && node != root) {
    if (node.next_sibling()) return node.next_sibling();
    node = node.parent();
    --depth;
  }
  return pugi::xml_node();
}

}  // namespace

void Missing(const std::string& what) { throw EOpsReplyError(opstext::kReplyMissingField + what); }

void Impossible(const std::string& what) { throw EOpsReplyError(opstext::kReplyImpossibleValue + what); }

TReply::TReply(const std::string& body) {
  if (body.size() > kMaxReplyBytes)
    throw EOpsReplyError(opstext::kReplyTooLarge + std::to_string(body.size()) + " bytes");
  // Every element opens with "<": a cheap bound on the nodes before any is made.
  if (static_cast<size_t>(std::count(body.begin(), body.end(), '<')) > kMaxElements)
    throw EOpsReplyError(opstext::kReplyTooComplex);
  // parse_doctype keeps a declaration as a node, so that it can be refused; pugixml never
  // reads its content, and expands no entities but XML's five and character references.
  const unsigned options = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_eol | pugi::parse_doctype;
  const pugi::xml_parse_result result = doc_.load_buffer(body.data(), body.size(), options, pugi::encoding_utf8);
  if (!result)
    throw EOpsReplyError(opstext::kReplyNotXml + std::string(result.description()) + " @" +
                         std::to_string(result.offset));
  for (pugi::xml_node n = doc_.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_doctype) throw EOpsReplyError(opstext::kReplyDoctype);
  if (!doc_.document_element()) Missing("document element");
  size_t depth = 0;
  for (pugi::xml_node n = doc_.first_child(); n; n = NextInside(n, doc_, depth))
    if (depth > kMaxDepth) throw EOpsReplyError(opstext::kReplyTooComplex);
}

const char* LocalName(pugi::xml_node element) {
  const char* name = element.name();
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

std::string NamespaceOf(pugi::xml_node element) {
  const char* name = element.name();
  const char* colon = std::strchr(name, ':');
  const std::string attribute = colon ? "xmlns:" + std::string(name, colon) : std::string("xmlns");
  for (pugi::xml_node n = element; n && n.type() == pugi::node_element; n = n.parent())
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
  return "";
}

bool Is(pugi::xml_node element, const char* ns, const char* local) {
  return element.type() == pugi::node_element && std::strcmp(LocalName(element), local) == 0 &&
         NamespaceOf(element) == ns;
}

pugi::xml_node Child(pugi::xml_node parent, const char* ns, const char* local) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (Is(c, ns, local)) return c;
  return pugi::xml_node();
}

std::vector<pugi::xml_node> Children(pugi::xml_node parent, const char* ns, const char* local) {
  std::vector<pugi::xml_node> found;
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (Is(c, ns, local)) found.push_back(c);
  return found;
}

pugi::xml_node Path(pugi::xml_node from, const char* ns, std::initializer_list<const char*> locals) {
  for (const char* local : locals) from = Child(from, ns, local);
  return from;
}

std::string Text(pugi::xml_node element) {
  std::string text;
  size_t depth = 0;
  for (pugi::xml_node n = element.first_child(); n; n = NextInside(n, element, depth))
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  return CleanReplyText(text);
}

std::string Attr(pugi::xml_node element, const char* name) { return CleanReplyText(element.attribute(name).value()); }

int64_t Count(pugi::xml_node element, const char* attribute, int64_t low, int64_t high) {
  int64_t value = 0;
  if (!element.attribute(attribute)) Missing(attribute);
  if (!ReadDecimal(Attr(element, attribute), value) || value < low || value > high) Impossible(attribute);
  return value;
}

TDocumentId DocumentId(pugi::xml_node reference, const char* type) {
  for (pugi::xml_node id : Children(reference, kExchangeNs, "document-id")) {
    if (Attr(id, "document-id-type") != type) continue;
    return {Text(Child(id, kExchangeNs, "country")), Text(Child(id, kExchangeNs, "doc-number")),
            Text(Child(id, kExchangeNs, "kind")), Text(Child(id, kExchangeNs, "date"))};
  }
  return {};
}

std::string DateOrEmpty(const std::string& text) {
  const bool digits = std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  return text.size() == 8 && digits ? text : "";
}

std::vector<TOpsPriority> PriorityClaims(pugi::xml_node parent) {
  std::vector<TOpsPriority> claims;
  for (pugi::xml_node claim : Children(parent, kExchangeNs, "priority-claim")) {
    const TDocumentId epodoc = DocumentId(claim, "epodoc"), docdb = DocumentId(claim, "docdb"),
                      original = DocumentId(claim, "original");
    // Older replies put the fields in the claim itself, without a document-id.
    const TDocumentId bare = {Text(Child(claim, kExchangeNs, "country")), Text(Child(claim, kExchangeNs, "doc-number")),
                              "", Text(Child(claim, kExchangeNs, "date"))};
    TOpsPriority p;
    if (!epodoc.number.empty())
      p.number = epodoc.number;
    else if (!docdb.number.empty())
      p.number = docdb.country + docdb.number;
    else if (!bare.number.empty())
      p.number = bare.country + bare.number;
    else
      p.number = original.country + original.number;
    p.number.erase(std::remove(p.number.begin(), p.number.end(), ' '), p.number.end());
    for (const TDocumentId* id : {&epodoc, &docdb, &bare, &original})
      if (p.date.empty()) p.date = DateOrEmpty(id->date);
    const bool known = std::any_of(claims.begin(), claims.end(), [&](const auto& c) { return c.number == p.number; });
    if (!p.number.empty() && !known) claims.push_back(p);
  }
  return claims;
}

}  // namespace opsxml
