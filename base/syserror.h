#pragma once
#include <string>

#include "base/path.h"

// The base layer's messages, GBK like every program text.
namespace basetext {
inline constexpr char kCannotOpenFile[] = "\xce\xde\xb7\xa8\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe";      // 无法打开文件
inline constexpr char kCannotReadFile[] = "\xce\xde\xb7\xa8\xb6\xc1\xc8\xa1\xce\xc4\xbc\xfe";      // 无法读取文件
inline constexpr char kCannotCreateFile[] = "\xce\xde\xb7\xa8\xb4\xb4\xbd\xa8\xce\xc4\xbc\xfe";    // 无法创建文件
inline constexpr char kCannotWriteFile[] = "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xce\xc4\xbc\xfe";     // 无法写入文件
inline constexpr char kCannotReplaceFile[] = "\xce\xde\xb7\xa8\xcc\xe6\xbb\xbb\xce\xc4\xbc\xfe";   // 无法替换文件
inline constexpr char kCannotCreateDir[] = "\xce\xde\xb7\xa8\xb4\xb4\xbd\xa8\xc4\xbf\xc2\xbc";     // 无法创建目录
inline constexpr char kFileClosed[] = "\xce\xc4\xbc\xfe\xd2\xd1\xb9\xd8\xb1\xd5";                  // 文件已关闭
}  // namespace basetext

// The system's reason for errno value err, in Chinese (GBK); "系统错误 N" for the rare
// values without a text of their own.
std::string SystemErrorText(int err);

// "<what> <path>：<reason>", the message of a failed file operation (GBK).
std::string FileErrorMessage(const char* gbkWhat, const TPath& path, int err);
