#include "cleaning.h"

#include <sys/stat.h>

#include "base/files.h"
#include "base/gbk.h"

namespace cleaning {
namespace {

enum class EntryKind { Missing, Directory, ReadOnlyFile, Other };

EntryKind KindOf(const std::string& path) {
  struct stat st;
  if (::lstat(GbkToUtf8(path).c_str(), &st) != 0) return EntryKind::Missing;
  if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
  if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EntryKind::ReadOnlyFile;
  return EntryKind::Other;
}

}  // namespace

void cleardir(const std::string& path) {
  std::string base = path;
  if (base.empty() || base.back() != '/') base += '/';
  for (const DirEntry& e : ListDirectory(base)) {
    std::string full = base + e.name;
    switch (KindOf(full)) {
      case EntryKind::Directory:
        cleardir(full);
        RemoveDir(full);  // fails, unnoticed, when something inside stayed
        break;
      case EntryKind::Other:
        DeleteFileAt(full);
        break;
      case EntryKind::ReadOnlyFile:
      case EntryKind::Missing:
        break;
    }
  }
}

std::string AllTarget(const std::string& root) { return root + "/data/"; }
std::string QueryTarget(const std::string& root) { return root + "/data/query/"; }
std::string PdfTarget(const std::string& root) { return root + "/data/pdf/"; }
std::string TempTarget(const std::string& root) { return root + "/data/temp/"; }

void CleanTarget(const std::string& target) {
  if (DirectoryExists(target)) cleardir(target);
}

}  // namespace cleaning
