#include "recordsindex.h"

#include <algorithm>
#include <utility>

#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "shell/shelltexts.h"

namespace recordsindex {
namespace {

// The name as GBK with ASCII letters in lower case; the second byte of a Chinese
// character is left alone, even where it falls in the range of a letter.
std::string SortKey(const std::string& systemName) {
  std::string key = Utf8ToGbk(ShownName(systemName));
  for (size_t i = 0; i < key.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(key[i]);
    if (c >= 0x81 && c != 0xFF)
      ++i;
    else if (c >= 'A' && c <= 'Z')
      key[i] = static_cast<char>(c + ('a' - 'A'));
  }
  return key;
}

}  // namespace

std::vector<std::string> ListingLines(const TPath& dir) {
  std::vector<std::pair<std::string, std::string>> files;  // sort key, name
  for (const DirEntry& e : ListDirectory(dir))
    if (!e.isDirectory) files.emplace_back(SortKey(e.name), e.name);
  // Byte order of the keys puts Chinese names in the order of GBK (pinyin for the common
  // characters); equal keys fall back to the names' own bytes, so the order is fixed.
  std::sort(files.begin(), files.end());
  std::vector<std::string> lines;
  for (const auto& [key, name] : files)
    lines.push_back("<li><a href=\"" + datadir::LinkTarget(dir.Entry(name)) + "\">" + PageTextOf(name) + "</a></li>");
  return lines;
}

std::vector<std::string> PageLines(const TPath& root, const TPath& programDir) {
  using datadir::Folder;
  std::vector<std::string> lines = {
      "<html>",
      "<head><title>index</title>",
      datadir::StylesheetLine(programDir),
      "</head><body>",
      shelltext::kIndexQueryHeading,
  };
  for (std::string& l : ListingLines(datadir::FolderPath(root, Folder::Query))) lines.push_back(std::move(l));
  lines.push_back("<hr>");
  lines.push_back(shelltext::kIndexPdfHeading);
  for (std::string& l : ListingLines(datadir::FolderPath(root, Folder::Pdf))) lines.push_back(std::move(l));
  lines.push_back("</body>");
  lines.push_back("</html>");
  return lines;
}

TPath Build(const TPath& root, const TPath& programDir) {
  TPath path = datadir::IndexPagePath(root);
  WriteTextLines(path, PageLines(root, programDir));
  return path;
}

}  // namespace recordsindex
