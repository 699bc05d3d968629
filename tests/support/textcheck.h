#pragma once
// Small checks on texts the program printed or wrote.
#include <string>

// How often piece occurs in text (overlapping occurrences counted).
inline int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t p = text.find(piece); p != std::string::npos; p = text.find(piece, p + 1)) ++n;
  return n;
}

// The last line of printed output, without its line break.
inline std::string LastLine(const std::string& out) {
  std::string s = out;
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return s.substr(s.rfind('\n') + 1);
}
