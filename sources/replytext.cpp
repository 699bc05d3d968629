#include "sources/replytext.h"

#include "base/gbk.h"
#include "base/path.h"

namespace {

bool IsBlank(unsigned cp) {
  return cp <= 0x20 || (cp >= 0x7F && cp <= 0xA0) || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 ||
         cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000 || cp == 0x1680;
}

bool IsInvisible(unsigned cp) { return (cp >= 0x200B && cp <= 0x200D) || cp == 0x2060 || cp == 0xFEFF; }

}  // namespace

std::string CleanReplyText(const std::string& utf8) {
  const std::string text = ValidUtf8(utf8);
  std::string out;
  out.reserve(text.size());
  bool pendingSpace = false;
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8SequenceAt(text.data() + i, text.size() - i);
    const unsigned cp = Utf8CodePointAt(text.data() + i, n);
    if (IsBlank(cp)) {
      pendingSpace = !out.empty();
    } else if (!IsInvisible(cp)) {
      if (pendingSpace) out += ' ';
      pendingSpace = false;
      out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

std::string ReplyPageText(const std::string& utf8) {
  std::string escaped;
  escaped.reserve(utf8.size() + 16);
  for (char c : utf8) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return PageTextOf(escaped);
}
