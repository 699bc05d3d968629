#include "lookup.h"

#include "base/bytes.h"
#include "base/hosts.h"
#include "shell/shelltexts.h"

namespace lookup {
namespace {
// Already percent-encoded; appended as they are.
constexpr char kFirstBlock[] =
    "&sa=%CB%D1%CB%F7&client=pub-0000000000000000&forid=1&ie=GB2312&oe=GB2312";
constexpr char kSecondBlock[] =
    "&cof=GALT%3A%23008000%3BGL%3A1%3BDIV%3A%23FFFFCC%3BVLC%3A663399%3BAH%3Acenter%3BBGC%3AFFFFFF"
    "%3BLBGC%3AFFFFCC%3BALC%3ACC0000%3BLC%3ACC0000%3BT%3A000000%3BGFNT%3A0000FF%3BGIMP%3A0000FF"
    "%3BFORID%3A1&hl=zh-CN";

// The word's GBK characters percent-encoded, both bytes of each, as the address declares
// GB2312 and a browser would otherwise send UTF-8. ASCII stays as typed, so blanks, "&"
// and "#" act in the address as they always did.
std::string GbkEscaped(const std::string& word) {
  std::string out;
  for (size_t i = 0; i < word.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(word[i]);
    if (c < 0x80) {
      out += word[i];
      continue;
    }
    AppendPercentEscape(out, c);
    if (c >= 0x81 && c != 0xFF && i + 1 < word.size()) AppendPercentEscape(out, static_cast<unsigned char>(word[++i]));
  }
  return out;
}

}  // namespace

std::string LookupAddress(const std::string& modeText, const std::string& text) {
  const std::string word = GbkEscaped(TrimBytes(text));
  if (word.empty()) return {};
  SiteHosts hosts = Hosts();
  if (modeText == shelltext::kModeDictionary) return "http://" + hosts.DictionaryHost + "/mini.php?q=" + word;
  return "http://" + hosts.WebSearchHost + "/custom?q=" + word + kFirstBlock + kSecondBlock;
}

std::string LinkAddress(Link link) {
  SiteHosts h = Hosts();
  switch (link) {
    case Link::MakerHome: return "http://" + h.MakerHost;
    case Link::OfficeCN: return "http://" + h.OfficeCN + "/";
    case Link::OfficeDerwent: return "http://" + h.OfficeDerwent;
    case Link::OfficeEP: return "http://" + h.OfficeEP;
    case Link::OfficeJP: return "http://" + h.OfficeJP + "/";
    case Link::OfficeUS: return "http://" + h.OfficeUS + "/";
    case Link::OfficeWIPO: return "http://" + h.OfficeWIPO + "/portal/index.html.zh";
  }
  return {};
}

}  // namespace lookup
