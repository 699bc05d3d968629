#include "recordsindex.h"

#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "shell/shelltexts.h"

namespace recordsindex {

std::vector<std::string> ListingLines(const TPath& dir) {
  std::vector<std::string> lines;
  for (const DirEntry& e : ListDirectory(dir)) {
    if (e.isDirectory) continue;
    lines.push_back("<li><a href=\"" + datadir::LinkTarget(dir.Entry(e.name)) + "\">" + PageTextOf(e.name) +
                    "</a></li>");
  }
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
  RemoveStaleTemporaryFiles(datadir::FolderPath(root, datadir::Folder::Data));
  TPath path = datadir::IndexPagePath(root);
  WriteTextLines(path, PageLines(root, programDir));
  return path;
}

}  // namespace recordsindex
