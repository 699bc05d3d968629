#include "syserror.h"

#include <cerrno>

std::string SystemErrorText(int err) {
  switch (err) {
    case ENOENT: return "\xc3\xbb\xd3\xd0\xc4\xc7\xb8\xf6\xce\xc4\xbc\xfe\xbb\xf2\xc4\xbf\xc2\xbc";  // 没有那个文件或目录
    case EACCES: return "\xc8\xa8\xcf\xde\xb2\xbb\xb9\xbb";                                          // 权限不够
    case EPERM: return "\xb2\xd9\xd7\xf7\xb2\xbb\xd4\xca\xd0\xed";                                   // 操作不允许
    case EEXIST: return "\xce\xc4\xbc\xfe\xd2\xd1\xb4\xe6\xd4\xda";                                  // 文件已存在
    case ENOTDIR: return "\xb2\xbb\xca\xc7\xc4\xbf\xc2\xbc";                                         // 不是目录
    case EISDIR: return "\xca\xc7\xd2\xbb\xb8\xf6\xc4\xbf\xc2\xbc";                                  // 是一个目录
    case ENOTEMPTY: return "\xc4\xbf\xc2\xbc\xb7\xc7\xbf\xd5";                                       // 目录非空
    case ENOSPC: return "\xc9\xe8\xb1\xb8\xc9\xcf\xc3\xbb\xd3\xd0\xbf\xd5\xbc\xe4";                  // 设备上没有空间
    case EDQUOT: return "\xb3\xac\xb3\xf6\xb4\xc5\xc5\xcc\xcf\xde\xb6\xee";                          // 超出磁盘限额
    case EROFS: return "\xd6\xbb\xb6\xc1\xce\xc4\xbc\xfe\xcf\xb5\xcd\xb3";                           // 只读文件系统
    case ENAMETOOLONG: return "\xce\xc4\xbc\xfe\xc3\xfb\xb9\xfd\xb3\xa4";                            // 文件名过长
    case EIO: return "\xca\xe4\xc8\xeb/\xca\xe4\xb3\xf6\xb4\xed\xce\xf3";                            // 输入/输出错误
    case EMFILE:
    case ENFILE: return "\xb4\xf2\xbf\xaa\xb5\xc4\xce\xc4\xbc\xfe\xb9\xfd\xb6\xe0";                  // 打开的文件过多
    default: return "\xcf\xb5\xcd\xb3\xb4\xed\xce\xf3 " + std::to_string(err);                      // 系统错误 N
  }
}

std::string FileErrorMessage(const char* gbkWhat, const TPath& path, int err) {
  return std::string(gbkWhat) + " " + path.ShownText() + "\xa3\xba" + SystemErrorText(err);  // ：
}
