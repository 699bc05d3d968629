#include "recordsindex.h"

#include "base/files.h"
#include "base/ini.h"
#include "shell/shelltexts.h"

namespace recordsindex {

std::string PagePath(const std::string& root) { return root + "/data/index.html"; }

std::string LinkTarget(const std::string& path) {
  // None of these bytes occurs as the second byte of a GBK character, so this
  // byte-wise pass leaves Chinese names intact.
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    switch (c) {
      case '%': out += "%25"; break;
      case '#': out += "%23"; break;
      case '?': out += "%3F"; break;
      default: out += c;
    }
  }
  return out;
}

std::vector<std::string> ListingLines(const std::string& dir) {
  std::string base = dir;
  if (base.empty() || base.back() != '/') base += '/';
  std::vector<std::string> lines;
  for (const DirEntry& e : ListDirectory(base)) {
    if (e.isDirectory) continue;
    lines.push_back("<li><a href=\"" + LinkTarget(base + e.name) + "\">" + e.name + "</a></li>");
  }
  return lines;
}

std::vector<std::string> PageLines(const std::string& root, const std::string& programDir) {
  std::vector<std::string> lines = {
      "<html>",
      "<head><title>index</title>",
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"" + LinkTarget(programDir + "/") + "main.css\" />",
      "</head><body>",
      shelltext::kIndexQueryHeading,
  };
  for (std::string& l : ListingLines(root + "/data/query/")) lines.push_back(std::move(l));
  lines.push_back("<hr>");
  lines.push_back(shelltext::kIndexPdfHeading);
  for (std::string& l : ListingLines(root + "/data/pdf/")) lines.push_back(std::move(l));
  lines.push_back("</body>");
  lines.push_back("</html>");
  return lines;
}

std::string Build(const std::string& root, const std::string& programDir) {
  std::string path = PagePath(root);
  WriteTextLines(path, PageLines(root, programDir));
  return path;
}

}  // namespace recordsindex
