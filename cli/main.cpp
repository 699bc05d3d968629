#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/gbk.h"

#include "commands.h"

void PrintLine(FILE* out, const std::string& gbk) {
  std::string line = GbkToUtf8(gbk) + "\n";
  std::fwrite(line.data(), 1, line.size(), out);
  std::fflush(out);
}

std::string AbsolutePath(const std::string& gbkPath) {
  if (!gbkPath.empty() && gbkPath[0] == '/') return gbkPath;
  char buf[4096];
  if (!::getcwd(buf, sizeof buf)) return gbkPath;
  return Utf8ToGbk(buf) + "/" + gbkPath;
}

namespace {
void Usage(FILE* out) {
  std::fputs(
      "usage: varnolt-cli search [--title TEXT] [--abstract TEXT] [--class TEXT]\n"
      "                          [--legal-status] [--abstract-info] [--first-claim] [--patentee]\n"
      "       varnolt-cli download [--file PATH] [NUMBER ...]\n"
      "Run 'varnolt-cli COMMAND --help' for the details of a command.\n",
      out);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "search") == 0) return RunSearchCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "download") == 0) return RunDownloadCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  Usage(stderr);
  return 2;
}
