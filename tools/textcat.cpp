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
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/gbk.h"

namespace {

struct Fault {
  int line;
  std::string reason;
};

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8SequenceAt(s.data() + i, s.size() - i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// The text in GBK by the program's own conversion, so that the constants hold what the
// program would make of the text; refused when a character has no GBK form or reads back
// as another one. The reason names the first such character.
bool ToGbk(const std::string& utf8, std::string& gbk, std::string& reason) {
  if (Utf8ToGbkExact(utf8, gbk)) return true;
  for (size_t i = 0; i < utf8.size();) {
    size_t n = Utf8SequenceAt(utf8.data() + i, utf8.size() - i);
    if (n == 0) break;
    std::string one;
    if (!Utf8ToGbkExact(utf8.substr(i, n), one)) {
      auto b = [&](size_t k) { return unsigned(static_cast<unsigned char>(utf8[i + k])); };
      unsigned cp = n == 1 ? b(0) : b(0) & (0xFF >> (n + 1));
      for (size_t k = 1; k < n; ++k) cp = (cp << 6) | (b(k) & 0x3F);
      char name[16];
      std::snprintf(name, sizeof name, "U+%04X", cp);
      reason = std::string("GBK cannot write ") + name + " '" + utf8.substr(i, n) + "'";
      return false;
    }
    i += n;
  }
  reason = "GBK cannot write the text";
  return false;
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
    std::string reason;
    if (!IsUtf8(line)) {
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
  const std::string text = Header(sections, catalogue);
  // An unchanged header keeps its time, so that its users are not compiled again.
  {
    std::ifstream old(header, std::ios::binary);
    std::ostringstream oldText;
    oldText << old.rdbuf();
    if (old && oldText.str() == text) return 0;
  }
  // Written beside and renamed, so that a build never sees half a header.
  const std::string part = header + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out << text;
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
