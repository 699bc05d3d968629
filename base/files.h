#pragma once
#include <string>
#include <vector>

#include "base/path.h"

// File-system operations; the bool results report success and never throw.
bool FileExists(const TPath& path);       // any entry that is not a directory
bool DirectoryExists(const TPath& path);
bool CreateDir(const TPath& path);        // one level
bool ForceDirectories(const TPath& path); // with every missing parent
bool DeleteFileAt(const TPath& path);
bool RemoveDir(const TPath& path);        // empty directories only

struct DirEntry {
  std::string name;  // as the system gave it (see TPath::Entry)
  bool isDirectory = false;
};

// Every entry but "." and "..", hidden ones included, in the order the system gives.
// A missing or unreadable directory gives an empty list.
std::vector<DirEntry> ListDirectory(const TPath& path);

// Whole-file helpers; both throw EFileError when the file cannot be opened.
std::string ReadFileBytes(const TPath& path);
void WriteFileBytes(const TPath& path, const std::string& bytes);

// A file name made from text (a title, a search expression) that always stays inside
// its directory: "/" and NUL become "_", and "", "." or ".." become "_".
std::string FileNameFromText(const std::string& text);
