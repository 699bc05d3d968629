#pragma once
#include <string>

// Cleaning of stored records below the data directory.
namespace cleaning {

// Removes everything inside path (files and subdirectories at any depth) and leaves
// path itself. What cannot be removed stays without a word: read-only files (no write
// permission bit, the counterpart of the read-only attribute) and directories that
// keep such a file. Symbolic links are removed as links, never followed, so a link
// to a folder elsewhere cannot empty that folder.
void cleardir(const std::string& path);

// The four targets of the clean menu, each ending with "/".
std::string AllTarget(const std::string& root);    // data/
std::string QueryTarget(const std::string& root);  // data/query/
std::string PdfTarget(const std::string& root);    // data/pdf/
std::string TempTarget(const std::string& root);   // data/temp/

// A menu item's work: cleardir on target when it is a directory; a missing target is
// no error.
void CleanTarget(const std::string& target);

}  // namespace cleaning
