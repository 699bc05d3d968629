#pragma once
#include <string>
#include <vector>

// File-system operations on GBK paths; each converts to UTF-8 at the system call.
// The bool results report success and never throw.
bool FileExists(const std::string& path);       // any entry that is not a directory
bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);        // one level
bool ForceDirectories(const std::string& path); // with every missing parent
bool DeleteFileAt(const std::string& path);
bool RemoveDir(const std::string& path);        // empty directories only

struct DirEntry {
  std::string name;  // GBK
  bool isDirectory = false;
};

// Every entry but "." and "..", hidden ones included, in the order the system gives.
// A missing or unreadable directory gives an empty list.
std::vector<DirEntry> ListDirectory(const std::string& path);

// Whole-file helpers; both throw EFileError when the file cannot be opened.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// A file name made from text (a title, a search expression) that always stays inside
// its directory: "/" and NUL become "_", and "", "." or ".." become "_".
std::string FileNameFromText(const std::string& text);
