#include "cleaning.h"

#include <sys/stat.h>

#include "base/datadir.h"
#include "base/files.h"

namespace cleaning {
namespace {

enum class EntryKind { Missing, Directory, ReadOnlyFile, Other };

EntryKind KindOf(const TPath& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return EntryKind::Missing;
  if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
  if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EntryKind::ReadOnlyFile;
  return EntryKind::Other;
}

}  // namespace

void cleardir(const TPath& path) {
  for (const DirEntry& e : ListDirectory(path)) {
    const TPath full = path.Entry(e.name);
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

TPath Target(const TPath& root, datadir::Folder folder) { return datadir::FolderPath(root, folder) + "/"; }

void CleanTarget(const TPath& target) {
  if (DirectoryExists(target)) cleardir(target);
}

}  // namespace cleaning
