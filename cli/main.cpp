#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/gbk.h"

#include "commands.h"

namespace {
void WriteLine(FILE* out, std::string utf8) {
  utf8 += '\n';
  std::fwrite(utf8.data(), 1, utf8.size(), out);
  std::fflush(out);
}
}  // namespace

void PrintLine(FILE* out, const std::string& gbk) { WriteLine(out, GbkToUtf8(gbk)); }

void PrintPath(FILE* out, const TPath& path) {
  TPath absolute = path;
  char buf[4096];
  if (path.Bytes().empty() || path.Bytes()[0] != '/') {
    if (::getcwd(buf, sizeof buf)) absolute = TPath::FromSystem(buf).Entry(path.Bytes());
  }
  WriteLine(out, absolute.Shown());
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
  if (std::strcmp(argv[1], "--version") == 0) return std::puts("varnolt-cli " VARNOLT_VERSION) < 0;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  Usage(stderr);
  return 2;
}
