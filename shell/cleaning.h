#pragma once
#include "base/datadir.h"
#include "base/path.h"

// Cleaning of stored records below the data directory.
namespace cleaning {

// Removes everything inside path (files and subdirectories at any depth) and leaves
// path itself. What cannot be removed stays without a word: read-only files (no write
// permission bit, the counterpart of the read-only attribute) and directories that
// keep such a file. Symbolic links are removed as links, never followed, so a link
// to a folder elsewhere cannot empty that folder.
void cleardir(const TPath& path);

// The target of a clean menu item: the folder below root, ending with "/" (data/ for the
// whole data directory, data/query/, data/pdf/, data/temp/).
TPath Target(const TPath& root, datadir::Folder folder);

// A menu item's work: cleardir on target when it is a directory; a missing target is
// no error.
void CleanTarget(const TPath& target);

}  // namespace cleaning
