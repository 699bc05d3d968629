#include "stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "errors.h"
#include "syserror.h"

TFileStream::TFileStream(const TPath& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) throw EFileError(FileErrorMessage(basetext::kCannotCreateFile, path, errno));
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

void TFileStream::Write(const char* data, size_t size) {
  if (fd_ < 0) throw EFileError(std::string(basetext::kFileClosed) + " " + path_.ShownText());
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EFileError(FileErrorMessage(basetext::kCannotWriteFile, path_, errno));
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void TFileStream::Close() {
  if (fd_ < 0) return;
  int rc = ::close(fd_);
  fd_ = -1;
  if (rc != 0) throw EFileError(FileErrorMessage(basetext::kCannotWriteFile, path_, errno));
}
