#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>

#include "errors.h"
#include "gbk.h"
#include "syserror.h"

namespace {

bool StatOf(const TPath& path, struct stat& st) { return !path.Empty() && ::stat(path.c_str(), &st) == 0; }

std::string ErrorText(const char* what, const TPath& path) { return FileErrorMessage(what, path, errno); }

}  // namespace

bool FileExists(const TPath& path) {
  struct stat st;
  return StatOf(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const TPath& path) {
  struct stat st;
  return StatOf(path, st) && S_ISDIR(st.st_mode);
}

bool CreateDir(const TPath& path) { return !path.Empty() && ::mkdir(path.c_str(), 0777) == 0; }

bool ForceDirectories(const TPath& path) {
  std::string p = path.Bytes();
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.empty()) return false;
  const TPath dir = TPath::FromSystem(p);
  if (DirectoryExists(dir)) return true;
  size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(TPath::FromSystem(p.substr(0, slash))))
    return false;
  return CreateDir(dir) || DirectoryExists(dir);
}

bool DeleteFileAt(const TPath& path) { return !path.Empty() && ::unlink(path.c_str()) == 0; }

bool RemoveDir(const TPath& path) { return !path.Empty() && ::rmdir(path.c_str()) == 0; }

std::vector<DirEntry> ListDirectory(const TPath& path) {
  std::vector<DirEntry> entries;
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return entries;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    bool isDir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      isDir = ::stat(path.Entry(e->d_name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back({e->d_name, isDir});
  }
  ::closedir(dir);
  return entries;
}

std::string ReadFileBytes(const TPath& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EFileError(ErrorText(basetext::kCannotOpenFile, path));
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string msg = ErrorText(basetext::kCannotReadFile, path);
      ::close(fd);
      throw EFileError(msg);
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

void WriteFileBytes(const TPath& path, const std::string& bytes) {
  std::optional<TTemporaryFile> temp;
  try {
    temp.emplace(path.Parent());
  } catch (const EFileError&) {
    throw EFileError(ErrorText(basetext::kCannotCreateFile, path));
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    ssize_t n = ::write(temp->Fd(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  if (!ok) throw EFileError(ErrorText(basetext::kCannotWriteFile, path));
  if (!temp->MoveTo(path)) throw EFileError(ErrorText(basetext::kCannotCreateFile, path));
}

namespace {

const char kTempPrefix[] = ".varnolt-";
const char kTempSuffix[] = ".tmp";

bool IsTemporaryFileName(const std::string& name) {
  const size_t prefix = sizeof kTempPrefix - 1, suffix = sizeof kTempSuffix - 1;
  return name.size() > prefix + suffix && name.compare(0, prefix, kTempPrefix) == 0 &&
         name.compare(name.size() - suffix, suffix, kTempSuffix) == 0;
}

}  // namespace

TTemporaryFile::TTemporaryFile(const TPath& dir) {
  static std::atomic<unsigned> counter{0};
  for (int tries = 0; tries < 100; ++tries) {
    path_ = dir.Entry(kTempPrefix + std::to_string(::getpid()) + "-" + std::to_string(counter++) + kTempSuffix);
    // A leftover of an earlier process with this id may hold the name: take the next.
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno == EEXIST) continue;
    if (fd_ < 0) break;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    // A cleaner may have taken the file for a leftover before the lock was ours.
    struct stat st;
    if (::fstat(fd_, &st) == 0 && st.st_nlink > 0) return;
    ::close(fd_);
    fd_ = -1;
  }
  throw EFileError(ErrorText(basetext::kCannotCreateFile, path_));
}

TTemporaryFile::~TTemporaryFile() {
  if (!moved_) DeleteFileAt(path_);
  ::close(fd_);
}

bool TTemporaryFile::MoveTo(const TPath& to) {
  moved_ = true;
  return ReplaceFile(path_, to);
}

void RemoveStaleTemporaryFiles(const TPath& dir) {
  for (const DirEntry& e : ListDirectory(dir)) {
    if (e.isDirectory || !IsTemporaryFileName(e.name)) continue;
    const TPath path = dir.Entry(e.name);
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    // Free only when every process that held it (writer and its tools) has ended.
    struct stat held, named;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev)
      DeleteFileAt(path);
    ::close(fd);
  }
}

bool ReplaceFile(const TPath& from, const TPath& to) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  int saved = errno;
  DeleteFileAt(from);
  errno = saved;
  return false;
}

namespace {

// "/" (0x2F) and NUL never occur as the second byte of a GBK character, so replacing
// them byte by byte here is the same as replacing them after conversion.
std::string WithoutSeparators(std::string text) {
  for (char& c : text) {
    if (c == '/' || c == '\0') c = '_';
  }
  return text;
}

size_t NameBytes(const std::string& gbk) { return GbkToUtf8(gbk).size(); }

}  // namespace

std::string FileNameFromText(const std::string& text, const std::string& extension, const std::string& tail) {
  std::string name = WithoutSeparators(text + extension);
  if (name.empty() || name == "." || name == "..") name.assign(1, '_');
  if (NameBytes(name) <= kMaxFileNameBytes) return name;
  const std::string end = WithoutSeparators("(" + (tail.empty() ? TextHashTail(text) : tail) + ")" + extension);
  const std::string stem = WithoutSeparators(text);
  // Whole characters of the text while the name still fits.
  const size_t room = kMaxFileNameBytes - std::min(kMaxFileNameBytes, NameBytes(end));
  size_t cut = 0, used = 0;
  while (cut < stem.size()) {
    unsigned char c = static_cast<unsigned char>(stem[cut]);
    size_t n = c >= 0x81 && c <= 0xFE && cut + 1 < stem.size() ? 2 : 1;
    size_t bytes = NameBytes(stem.substr(cut, n));
    if (used + bytes > room) break;
    used += bytes;
    cut += n;
  }
  // Bytes that are not GBK can convert otherwise together than apart: the whole decides.
  while (cut > 0 && NameBytes(stem.substr(0, cut) + end) > kMaxFileNameBytes) --cut;
  return stem.substr(0, cut) + end;
}

std::string TextHashTail(const std::string& text) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

TFolderLock::TFolderLock(const TPath& dir, const std::function<void()>& onWait) {
  fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return;
  if (onWait) onWait();
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

TFolderLock::~TFolderLock() {
  if (fd_ >= 0) ::close(fd_);
}
