#pragma once
#include <cstdio>
#include <string>

#include "base/path.h"

// The two commands of varnolt-cli; each gets the arguments after its name and returns
// the process exit code.
int RunSearchCommand(int argc, char** argv);
int RunDownloadCommand(int argc, char** argv);

// Prints one GBK line as UTF-8 and flushes, so progress shows as it comes.
void PrintLine(FILE* out, const std::string& gbk);
// Prints the absolute form of a path (the file need not exist) as a file manager shows it.
void PrintPath(FILE* out, const TPath& path);
