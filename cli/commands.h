#pragma once
#include <cstdio>
#include <string>

// The two commands of varnolt-cli; each gets the arguments after its name and returns
// the process exit code.
int RunSearchCommand(int argc, char** argv);
int RunDownloadCommand(int argc, char** argv);

// Prints one GBK line as UTF-8 and flushes, so progress shows as it comes.
void PrintLine(FILE* out, const std::string& gbk);
// The absolute form of a GBK path (the file need not exist), still GBK.
std::string AbsolutePath(const std::string& gbkPath);
