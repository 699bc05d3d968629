#include "download/recognisedpage.h"

#include "base/gbk.h"

namespace {

unsigned FirstCodePoint(const std::string& s) {
  const size_t n = s.empty() ? 0 : Utf8SequenceAt(s.data(), s.size());
  return n ? Utf8CodePointAt(s.data(), n) : 0;
}

unsigned LastCodePoint(const std::string& s) {
  size_t at = s.size();
  while (at > 0 && (static_cast<unsigned char>(s[at - 1]) & 0xC0) == 0x80) --at;
  if (at == 0) return 0;
  --at;
  const size_t n = Utf8SequenceAt(s.data() + at, s.size() - at);
  return n ? Utf8CodePointAt(s.data() + at, n) : 0;
}

}  // namespace

bool WordsJoin(const std::string& leftUtf8, const std::string& rightUtf8) {
  return IsCjkCodePoint(LastCodePoint(leftUtf8)) && IsCjkCodePoint(FirstCodePoint(rightUtf8));
}

std::string RecognisedText(const TRecognisedPage& page) {
  std::string text;
  for (const TRecognisedLine& line : page.lines) {
    for (size_t i = 0; i < line.words.size(); ++i) {
      if (i > 0 && !WordsJoin(line.words[i - 1].utf8, line.words[i].utf8)) text += ' ';
      text += line.words[i].utf8;
    }
    text += '\n';
  }
  return text;
}
