#include "syserror.h"

#include <cerrno>

using namespace basetext;

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return kNoSuchEntry;
    case EACCES: return kPermissionDenied;
    case EPERM: return kNotPermitted;
    case EEXIST: return kAlreadyExists;
    case ENOTDIR: return kNotADirectory;
    case EISDIR: return kIsADirectory;
    case ENOTEMPTY: return kDirectoryNotEmpty;
    case ENOSPC: return kNoSpaceLeft;
    case EDQUOT: return kQuotaExceeded;
    case EROFS: return kReadOnlyFileSystem;
    case ENAMETOOLONG: return kNameTooLong;
    case EIO: return kInputOutputError;
    case EMFILE:
    case ENFILE: return kTooManyOpenFiles;
    default: return kSystemError + std::to_string(err);
  }
}

std::string FileErrorMessage(const char* gbkWhat, const TPath& path, int err) {
  return std::string(gbkWhat) + " " + path.ShownText() + kReasonMark + SystemErrorText(err);
}
