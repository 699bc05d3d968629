// textcat: turns a text catalogue (UTF-8, readable) into a header of GBK byte constants.
//
//   textcat CATALOGUE HEADER
//
// Catalogue lines:
//   # comment                 blank lines and lines starting with # are skipped
//   [ns]                      the names below live in namespace ns
//   kName = text              inline constexpr char kName[] = "<text in GBK>";
// Blanks around "=" are not part of the text. Escapes: \s blank (for a blank that begins
// or ends a text), \t tab, \r, \n, \\ backslash; nothing else, so the text stays readable.
// Any fault (a character GBK cannot write, a malformed line, a duplicate name) is reported
// as CATALOGUE:LINE: reason, no header is written, and the exit status is 1.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Fault {
  int line;
  std::string reason;
};

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::cerr << "textcat: iconv cannot convert " << from << " to " << to << "\n";
      std::exit(2);
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // The whole input converted, or false when iconv refuses any of it.
  bool Run(const std::string& input, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.clear();
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char buf[1024];
    while (inLeft > 0) {
      char* o = buf;
      size_t oLeft = sizeof buf;
      size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buf, size_t(o - buf));
      if (r == size_t(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t cd_;
};

std::vector<uint32_t> CodePoints(const std::string& utf32) {
  std::vector<uint32_t> cps;
  for (size_t i = 0; i + 4 <= utf32.size(); i += 4) {
    auto b = [&](size_t k) { return uint32_t(static_cast<unsigned char>(utf32[i + k])); };
    cps.push_back(b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24);
  }
  return cps;
}

std::string CodePointName(uint32_t cp) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "U+%04X", unsigned(cp));
  return buf;
}

// Also the check that a line is UTF-8 at all.
Converter g_toUtf32("UTF-32LE", "UTF-8");

// The text in GBK, character by character, so that the fault names the character. A
// character whose GBK form reads back as another one is refused as well: the program
// would show something else than the catalogue says.
bool ToGbk(const std::string& utf8, std::string& gbk, std::string& reason) {
  static Converter fromUtf32("GBK", "UTF-32LE");
  static Converter back("UTF-32LE", "GBK");
  std::string utf32;
  if (!g_toUtf32.Run(utf8, utf32)) {
    reason = "not UTF-8";
    return false;
  }
  gbk.clear();
  for (uint32_t cp : CodePoints(utf32)) {
    std::string one(4, '\0');
    for (int k = 0; k < 4; ++k) one[size_t(k)] = char((cp >> (8 * k)) & 0xFF);
    std::string g, again;
    if (!fromUtf32.Run(one, g) || !back.Run(g, again) || again != one) {
      static Converter toUtf8("UTF-8", "UTF-32LE");
      std::string shown;
      toUtf8.Run(one, shown);
      reason = "GBK cannot write " + CodePointName(cp) + " '" + shown + "'";
      return false;
    }
    gbk += g;
  }
  return true;
}

bool IsIdentifier(const std::string& s) {
  if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(' ');
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(' ');
  return s.substr(a, b - a + 1);
}

// The text as written in the catalogue, escapes resolved; false with a reason otherwise.
bool Unescape(const std::string& raw, std::string& text, std::string& reason) {
  text.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '\t') {
      reason = "a tab in a text: write it as \\t";
      return false;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      reason = "a control character in a text";
      return false;
    }
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++i == raw.size()) {
      reason = "a backslash ends the line: write it as \\\\";
      return false;
    }
    switch (raw[i]) {
      case 's': text += ' '; break;
      case 't': text += '\t'; break;
      case 'r': text += '\r'; break;
      case 'n': text += '\n'; break;
      case '\\': text += '\\'; break;
      default:
        reason = std::string("unknown escape \\") + raw[i] + " (known: \\s \\t \\r \\n \\\\)";
        return false;
    }
  }
  return true;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A C++ string literal of the bytes. A hex escape swallows every hex digit after it, so a
// digit or letter a-f that follows one starts a new literal.
std::string Literal(const std::string& bytes) {
  std::string out = "\"";
  bool afterHex = false;
  for (char c : bytes) {
    auto u = static_cast<unsigned char>(c);
    if (u >= 0x80 || u < 0x20) {
      if (c == '\t') out += "\\t", afterHex = false;
      else if (c == '\r') out += "\\r", afterHex = false;
      else if (c == '\n') out += "\\n", afterHex = false;
      else {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02x", unsigned(u));
        out += buf;
        afterHex = true;
      }
      continue;
    }
    if (afterHex && IsHexDigit(c)) out += "\" \"";
    afterHex = false;
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

struct Entry {
  std::string name;
  std::string gbk;
  int line;
};

struct Section {
  std::string ns;  // empty: the global namespace
  std::vector<Entry> entries;
};

std::vector<Section> Parse(std::istream& in, std::vector<Fault>& faults) {
  std::vector<Section> sections(1);
  std::map<std::string, int> seen;  // "ns::name" -> line
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (n == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // a byte-order mark
    if (!line.empty() && line.back() == '\r') line.pop_back();                // CR LF line ends
    std::string utf32, reason;
    if (!g_toUtf32.Run(line, utf32)) {
      faults.push_back({n, "the line is not UTF-8"});
      continue;
    }
    std::string t = Trim(line);
    if (t.empty() || t[0] == '#') continue;
    if (line.back() == ' ' || line.back() == '\t') {
      faults.push_back({n, "a blank ends the line: write a text's last blank as \\s, or remove it"});
      continue;
    }
    if (t.front() == '[') {
      std::string ns = t.size() >= 2 && t.back() == ']' ? Trim(t.substr(1, t.size() - 2)) : "";
      if (!IsIdentifier(ns)) {
        faults.push_back({n, "a section is [name], name a C++ identifier"});
        continue;
      }
      sections.push_back({ns, {}});
      continue;
    }
    size_t eq = t.find('=');
    if (eq == std::string::npos) {
      faults.push_back({n, "expected: name = text"});
      continue;
    }
    std::string name = Trim(t.substr(0, eq));
    if (!IsIdentifier(name)) {
      faults.push_back({n, "'" + name + "' is not a C++ identifier"});
      continue;
    }
    std::string text;
    if (!Unescape(Trim(t.substr(eq + 1)), text, reason)) {
      faults.push_back({n, reason});
      continue;
    }
    Entry e{name, "", n};
    if (!ToGbk(text, e.gbk, reason)) {
      faults.push_back({n, reason});
      continue;
    }
    auto [it, fresh] = seen.emplace(sections.back().ns + "::" + name, n);
    if (!fresh) {
      faults.push_back({n, name + " is named already on line " + std::to_string(it->second)});
      continue;
    }
    sections.back().entries.push_back(std::move(e));
  }
  return sections;
}

std::string Header(const std::vector<Section>& sections, const std::string& catalogue) {
  std::ostringstream h;
  h << "#pragma once\n// Made by textcat from " << catalogue << "; edit that catalogue, not this file.\n";
  for (const Section& s : sections) {
    if (s.entries.empty()) continue;
    h << "\n";
    if (!s.ns.empty()) h << "namespace " << s.ns << " {\n";
    for (const Entry& e : s.entries)
      h << "inline constexpr char " << e.name << "[] = " << Literal(e.gbk) << ";  // line " << e.line << "\n";
    if (!s.ns.empty()) h << "}  // namespace " << s.ns << "\n";
  }
  return h.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: textcat CATALOGUE HEADER\n";
    return 2;
  }
  const std::string catalogue = argv[1];
  const std::string header = argv[2];
  std::ifstream in(catalogue, std::ios::binary);
  if (!in) {
    std::cerr << catalogue << ": cannot open the catalogue\n";
    return 1;
  }
  std::vector<Fault> faults;
  std::vector<Section> sections = Parse(in, faults);
  if (!faults.empty()) {
    for (const Fault& f : faults) std::cerr << catalogue << ":" << f.line << ": " << f.reason << "\n";
    std::remove(header.c_str());
    return 1;
  }
  // Written beside and renamed, so that a build never sees half a header.
  const std::string part = header + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << Header(sections, catalogue);
    if (!out.flush()) {
      std::cerr << header << ": cannot write the header\n";
      return 1;
    }
  }
  if (std::rename(part.c_str(), header.c_str()) != 0) {
    std::cerr << header << ": cannot write the header\n";
    return 1;
  }
  return 0;
}
