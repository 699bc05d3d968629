#pragma once
#include <string>

// The directory of the running executable, in GBK, without a trailing "/".
std::string ProgramDirectory();

// Lets tests and tools run as if installed elsewhere (empty restores the default).
void SetProgramDirectoryForTesting(const std::string& gbkDir);
