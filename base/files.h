#pragma once
#include <functional>
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

// Whole-file helpers; both throw EFileError when the file cannot be opened. A written
// file appears under its name only when complete: it is written under a temporary name
// in the same folder (TTemporaryFile) and then renamed, so a reader, or a run killed
// midway, never meets half a file.
std::string ReadFileBytes(const TPath& path);
void WriteFileBytes(const TPath& path, const std::string& bytes);

// A file being written in dir under a fresh hidden name (".varnolt-<pid>-<n>.tmp"), created
// empty and locked (flock) while the object lives: the system drops the lock when the
// writer's process ends, however it ends, so RemoveStaleTemporaryFiles can tell a leftover
// from a file still being written, which neither a process that was killed but not yet
// reaped nor a reused process id can fake. A tool the writer starts may hold the lock too
// (TToolRun::Start with Fd()). Unless moved into place, the file is removed with the
// object. Throws EFileError when no file can be created in dir.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const TPath& dir);
  ~TTemporaryFile();
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  const TPath& Path() const { return path_; }
  int Fd() const { return fd_; }
  // Renames the file over to (ReplaceFile); false on failure, and the file is then gone.
  bool MoveTo(const TPath& to);

 private:
  TPath path_;
  int fd_ = -1;
  bool moved_ = false;
};

// Removes the temporary files in dir whose writers have ended (nobody holds their lock).
void RemoveStaleTemporaryFiles(const TPath& dir);

// Renames from over to (replacing it); false on failure, and from is then removed.
bool ReplaceFile(const TPath& from, const TPath& to);

// The longest file name the file system takes, in bytes of its own encoding (UTF-8).
constexpr size_t kMaxFileNameBytes = 255;

// The file name made from text (a title, a search expression) and an extension. It
// always stays inside its directory: "/" and NUL become "_", and "", "." or ".." become
// "_". It always fits: a name whose UTF-8 form passes kMaxFileNameBytes is cut at a
// character boundary and ends with "(" + tail + ")" before the extension, so two long
// texts that differ only after the cut keep apart; an empty tail stands for TextHashTail
// of the text. Names that fit stay byte for byte as they are.
std::string FileNameFromText(const std::string& text, const std::string& extension = "",
                             const std::string& tail = "");

// 8 hex digits of a hash of the whole text.
std::string TextHashTail(const std::string& text);

// An exclusive lock on a folder that every process taking it shares (flock on the folder
// itself, so cleaning cannot remove it), held while the object lives. When another
// holder has it, onWait runs once and the constructor then waits. A folder that cannot be
// opened gives no lock.
class TFolderLock {
 public:
  TFolderLock(const TPath& dir, const std::function<void()>& onWait);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int fd_ = -1;
};
