// The form and URL encoders, on any text. Byte 0 picks what the rest is: form lines
// (split at LF), a URL, or a data-directory root.
// What must hold: an encoded form value holds only bytes that travel unencoded and "%XX"
// escapes, and decodes back to the value; a form body of names without control bytes
// holds none; a parsed URL's pieces keep their shape and its GET is refused or keeps its
// lines; a root is written into savefile.ini as one line that reads back as the same root;
// a page's link to a file escapes what a browser would cut or decode.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/datadir.h"
#include "http/requestwriter.h"
#include "http/uri.h"
#include "tests/fuzz/fuzzcheck.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes "%XX" (upper-case digits, as the encoders write them); a stray "%" breaks the check.
std::string Decoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    FUZZ_CHECK(i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0);
    out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
    i += 2;
  }
  return out;
}

bool TravelsUnencoded(unsigned char c) {
  return c > 0x20 && c < 0x81 && std::string(" #%*<>[]").find(static_cast<char>(c)) == std::string::npos;
}

void CheckForm(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0; at <= text.size();) {
    size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  const std::vector<std::string> original = lines;
  bool plainNames = true;
  const std::string body = BuildFormBody(lines);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t eq = original[i].find('=');
    const std::string name = original[i].substr(0, eq);
    for (char c : name) plainNames &= static_cast<unsigned char>(c) > 0x20;
    if (eq == std::string::npos || eq + 1 == original[i].size()) {
      FUZZ_CHECK(lines[i] == original[i]);
      continue;
    }
    const std::string value = original[i].substr(eq + 1), encoded = EncodeFormValue(value);
    FUZZ_CHECK(lines[i] == name + "=" + encoded);
    for (char c : encoded) FUZZ_CHECK(c == '%' || TravelsUnencoded(static_cast<unsigned char>(c)));
    FUZZ_CHECK(Decoded(encoded) == value);
  }
  if (plainNames)
    for (char c : body) FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20);
}

void CheckUrl(const std::string& url) {
  TUri u = ParseUri(url);
  if (Contains(url, "://")) FUZZ_CHECK(!u.Path.empty() && u.Path[0] == '/');
  FUZZ_CHECK(u.Path.empty() || u.Path.back() == '/');
  FUZZ_CHECK(u.Document.find('/') == std::string::npos && u.Host.find('/') == std::string::npos);
  FUZZ_CHECK(u.Params.empty() || u.Params[0] == '?' || u.Params[0] == '=');
  CheckRequestHeadFor(url);
}

void CheckRoot(const std::string& bytes) {
  if (bytes.empty() || bytes.find('\0') != std::string::npos) return;  // no path holds NUL
  const TPath root = TPath::FromSystem(bytes);
  const std::string value = datadir::SettingValue(root);
  FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
  FUZZ_CHECK(datadir::RootFromSettingValue(value) == root);
  const std::string link = datadir::LinkTarget(root);
  FUZZ_CHECK(link.find_first_of("#?") == std::string::npos);
  Decoded(link);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string text = FuzzBytes(data + 1, size - 1);
  switch (data[0] % 3) {
    case 0: CheckForm(text); break;
    case 1: CheckUrl(text); break;
    default: CheckRoot(text); break;
  }
  return 0;
}
