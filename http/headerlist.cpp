#include "http/headerlist.h"

#include "base/bytes.h"

namespace {

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

bool NameMatches(const std::string& line, const std::string& name) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  return SameTextNoCase(TrimBytes(line.substr(0, colon)), name);
}

std::string ValueAt(const std::vector<std::string>& lines, size_t i) {
  const std::string& line = lines[i];
  std::string value = TrimBytes(line.substr(line.find(':') + 1));
  for (size_t j = i + 1; j < lines.size() && IsContinuation(lines[j]); ++j) {
    value += ' ';
    value += TrimBytes(lines[j]);
  }
  return value;
}

}  // namespace

std::string THeaderList::Values(const std::string& name) const {
  for (size_t i = 0; i < Lines.size(); ++i)
    if (!IsContinuation(Lines[i]) && NameMatches(Lines[i], name)) return ValueAt(Lines, i);
  return {};
}

bool THeaderList::Has(const std::string& name) const {
  for (const std::string& line : Lines)
    if (!IsContinuation(line) && NameMatches(line, name)) return true;
  return false;
}

std::vector<std::string> THeaderList::AllValues(const std::string& name) const {
  std::vector<std::string> out;
  for (size_t i = 0; i < Lines.size(); ++i)
    if (!IsContinuation(Lines[i]) && NameMatches(Lines[i], name)) out.push_back(ValueAt(Lines, i));
  return out;
}

void THeaderList::SetValue(const std::string& name, const std::string& value) {
  for (size_t i = 0; i < Lines.size(); ++i) {
    if (IsContinuation(Lines[i]) || !NameMatches(Lines[i], name)) continue;
    size_t end = i + 1;
    while (end < Lines.size() && IsContinuation(Lines[end])) ++end;
    Lines.erase(Lines.begin() + static_cast<long>(i) + 1, Lines.begin() + static_cast<long>(end));
    if (value.empty())
      Lines.erase(Lines.begin() + static_cast<long>(i));
    else
      Lines[i] = name + ": " + value;
    return;
  }
  if (!value.empty()) Add(name, value);
}

void THeaderList::Add(const std::string& name, const std::string& value) { Lines.push_back(name + ": " + value); }

std::string THeaderList::WireText() const {
  std::string out;
  for (const std::string& line : Lines)
    for (const std::string& piece : FoldHeaderLine(line)) {
      out += piece;
      out += "\r\n";
    }
  return out;
}

std::vector<std::string> FoldHeaderLine(const std::string& line, size_t width) {
  std::vector<std::string> out;
  std::string rest = line;
  while (rest.size() > width) {
    size_t cut = rest.find_last_of(" \t,", width);
    // A break at the very start would fold nothing off.
    if (cut == std::string::npos || cut == 0 || (!out.empty() && cut <= 1)) break;
    std::string head = rest.substr(0, cut + 1);
    while (!head.empty() && (head.back() == ' ' || head.back() == '\t')) head.pop_back();
    out.push_back(head);
    size_t next = rest.find_first_not_of(" \t", cut + 1);
    rest = next == std::string::npos ? std::string() : std::string(1, ' ').append(rest, next);
    if (rest.empty()) return out;
  }
  out.push_back(rest);
  return out;
}
