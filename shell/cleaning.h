#pragma once
#include <cstddef>

#include "base/datadir.h"
#include "base/path.h"

// Cleaning of stored records below the data directory.
namespace cleaning {

// Removes everything inside path (files and subdirectories at any depth) and leaves
// path itself. What cannot be removed stays: read-only files (no write permission bit,
// the counterpart of the read-only attribute), files the system refuses to delete and
// directories that keep such a file. Returns how many files stayed (a directory that
// stayed with nothing counted inside it counts as one). Symbolic links are removed as
// links, never followed, so a link to a folder elsewhere cannot empty that folder.
size_t cleardir(const TPath& path);

// The target of a clean menu item: the folder below root, ending with "/" (data/ for the
// whole data directory, data/query/, data/pdf/, data/temp/).
TPath Target(const TPath& root, datadir::Folder folder);

// A menu item's work: cleardir on target when it is a directory; a missing target is
// no error. Returns how many files stayed.
size_t CleanTarget(const TPath& target);

}  // namespace cleaning
