#include "ini.h"

#include "bytes.h"
#include "errors.h"
#include "files.h"

namespace {

constexpr size_t kMaxValueBytes = 2047;

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

std::string IniReadString(const TPath& path, const std::string& section,
                          const std::string& key, const std::string& def) {
  std::string text;
  try {
    text = ReadFileBytes(path);
  } catch (const EFileError&) {
    return def;
  }
  bool inSection = false;
  for (const std::string& raw : SplitLines(text)) {
    std::string line = TrimBytes(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = TrimBytes(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection = SameTextNoCase(name, section);
      continue;
    }
    if (!inSection) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (!SameTextNoCase(TrimBytes(line.substr(0, eq)), key)) continue;
    std::string value = TrimBytes(line.substr(eq + 1));
    if (value.size() > kMaxValueBytes) value.resize(kMaxValueBytes);
    return value;
  }
  return def;
}

std::vector<std::string> ReadTextLines(const TPath& path) {
  return SplitLines(ReadFileBytes(path));
}

std::string JoinLinesCrLf(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void WriteTextLines(const TPath& path, const std::vector<std::string>& lines) {
  WriteFileBytes(path, JoinLinesCrLf(lines));
}
