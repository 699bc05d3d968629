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

size_t cleardir(const TPath& path) {
  size_t stayed = 0;
  for (const DirEntry& e : ListDirectory(path)) {
    const TPath full = path.Entry(e.name);
    switch (KindOf(full)) {
      case EntryKind::Directory: {
        const size_t inside = cleardir(full);
        stayed += inside;
        // A folder that stays although nothing inside did (one that cannot be read) counts once.
        if (!RemoveDir(full) && inside == 0) ++stayed;
        break;
      }
      case EntryKind::Other:
        if (!DeleteFileAt(full)) ++stayed;
        break;
      case EntryKind::ReadOnlyFile:
        ++stayed;
        break;
      case EntryKind::Missing:
        break;
    }
  }
  return stayed;
}

TPath Target(const TPath& root, datadir::Folder folder) { return datadir::FolderPath(root, folder) + "/"; }

size_t CleanTarget(const TPath& target) { return DirectoryExists(target) ? cleardir(target) : 0; }

}  // namespace cleaning
