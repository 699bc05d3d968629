#pragma once
#include <string>

#include "base/basetexts.h"
#include "base/path.h"

// The system's reason for errno value err, in Chinese (GBK); "系统错误 N" for the rare
// values without a text of their own.
std::string SystemErrorText(int err);

// "<what> <path>：<reason>", the message of a failed file operation (GBK).
std::string FileErrorMessage(const char* gbkWhat, const TPath& path, int err);
