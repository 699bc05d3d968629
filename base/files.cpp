#include "files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "errors.h"
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
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw EFileError(ErrorText(basetext::kCannotCreateFile, path));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string msg = ErrorText(basetext::kCannotWriteFile, path);
      ::close(fd);
      throw EFileError(msg);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) throw EFileError(ErrorText(basetext::kCannotWriteFile, path));
}

std::string FileNameFromText(const std::string& text) {
  // "/" (0x2F) and NUL never occur as the second byte of a GBK character, so
  // replacing them byte by byte here is the same as replacing them after conversion.
  std::string name = text;
  for (char& c : name) {
    if (c == '/' || c == '\0') c = '_';
  }
  if (name.empty() || name == "." || name == "..") name.assign(1, '_');
  return name;
}
