#include "gbk.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

// iconv descriptors are costly to open and not thread-safe, so each thread keeps its own.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts, calling onBad(in, left, out) for each byte run iconv refuses; onBad
  // appends a replacement and returns how many input bytes to skip.
  template <typename OnBad>
  std::string Run(const std::string& input, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(input.size() * 3 / 2 + 8);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buf[4096];
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, o - buf);
      if (r != static_cast<size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      size_t skip = onBad(in, inLeft, out);
      in += skip;
      inLeft -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

size_t Utf8SequenceLength(const char* p, size_t left) {
  unsigned char c = static_cast<unsigned char>(p[0]);
  size_t want = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
  size_t n = 1;
  while (n < want && n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

std::string GbkToUtf8(const std::string& gbk) {
  thread_local Converter conv("UTF-8", "GBK");
  return conv.Run(gbk, [](const char*, size_t, std::string& out) -> size_t {
    out += "\xEF\xBF\xBD";
    return 1;
  });
}

std::string Utf8ToGbk(const std::string& utf8) {
  thread_local Converter conv("GBK", "UTF-8");
  return conv.Run(utf8, [](const char* p, size_t left, std::string& out) -> size_t {
    out += '?';
    return Utf8SequenceLength(p, left);
  });
}
