#pragma once
#include "base/path.h"

// The directory of the running executable, as the system names it, without a trailing "/".
TPath ProgramDirectory();

// Lets tests and tools run as if installed elsewhere (an empty path restores the default).
void SetProgramDirectoryForTesting(const TPath& dir);
