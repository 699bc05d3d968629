#pragma once
#include <string>
#include <vector>

// Header lines "Name: value" in their order. Names compare without regard to case; a
// lookup takes the first line of a name, and continuation lines (leading space or tab)
// belong to the line before them.
class THeaderList {
 public:
  std::vector<std::string> Lines;

  std::string Values(const std::string& name) const;
  bool Has(const std::string& name) const;
  // Every value of a name, in order (Set-Cookie and the challenge headers repeat).
  std::vector<std::string> AllValues(const std::string& name) const;
  // Replaces the first line of the name, appends when missing, deletes on an empty value.
  void SetValue(const std::string& name, const std::string& value);
  void Add(const std::string& name, const std::string& value);
  void Clear() { Lines.clear(); }
  // The lines as sent: each ended by CR LF, lines over 1024 bytes folded.
  std::string WireText() const;
};

// Splits one over-long header line onto continuation lines, breaking at a space, a tab
// or a comma; a line without such a break stays whole.
std::vector<std::string> FoldHeaderLine(const std::string& line, size_t width = 1024);
