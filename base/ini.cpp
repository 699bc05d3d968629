#include "ini.h"

#include "bytes.h"
#include "errors.h"
#include "files.h"

namespace {

constexpr size_t kMaxValueBytes = 2047;

// The name of a section line ("[name]"); false for other lines.
bool SectionLine(const std::string& raw, std::string& name) {
  std::string line = TrimBytes(raw);
  if (line.empty() || line[0] != '[') return false;
  size_t close = line.find(']');
  name = TrimBytes(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

bool KeyLine(const std::string& raw, const std::string& key) {
  std::string line = TrimBytes(raw);
  size_t eq = line.find('=');
  return !line.empty() && line[0] != ';' && eq != std::string::npos &&
         SameTextNoCase(TrimBytes(line.substr(0, eq)), key);
}

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
    std::string name;
    if (SectionLine(raw, name)) {
      inSection = SameTextNoCase(name, section);
      continue;
    }
    if (!inSection || !KeyLine(raw, key)) continue;
    std::string line = TrimBytes(raw);
    std::string value = TrimBytes(line.substr(line.find('=') + 1));
    if (value.size() > kMaxValueBytes) value.resize(kMaxValueBytes);
    return value;
  }
  return def;
}

void IniWriteString(const TPath& path, const std::string& section, const std::string& key,
                    const std::string& value) {
  std::vector<std::string> lines;
  if (FileExists(path)) lines = ReadTextLines(path);
  const std::string entry = key + "=" + value;
  bool inSection = false;
  size_t sectionEnd = lines.size();  // after the section's last non-empty line
  bool found = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (SectionLine(lines[i], name)) {
      if (inSection) break;
      inSection = SameTextNoCase(name, section);
      if (inSection) {
        found = true;
        sectionEnd = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    if (KeyLine(lines[i], key)) {
      lines[i] = entry;
      WriteTextLines(path, lines);
      return;
    }
    if (!TrimBytes(lines[i]).empty()) sectionEnd = i + 1;
  }
  if (found) {
    lines.insert(lines.begin() + long(sectionEnd), entry);
  } else {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  }
  WriteTextLines(path, lines);
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
