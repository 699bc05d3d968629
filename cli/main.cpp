// varnolt-cli: the command's name picks its file (<command>_cmd.cpp).
#include <cstdio>
#include <cstring>

#include "cli/commands.h"
#include "shell/versionfile.h"

namespace {
void Usage(FILE* out) {
  std::fputs(
      "usage: varnolt-cli search [--title TEXT] [--abstract TEXT] [--class TEXT]\n"
      "                          [--legal-status] [--abstract-info] [--first-claim] [--patentee]\n"
      "                          [--source ops|site] [--max N] [--json PATH]\n"
      "       varnolt-cli download [--file PATH] [--keep-going] [--retries N] [--skip-existing]\n"
      "                            [--jobs N] [--delay MS] [--ocr] [--source ops|site]\n"
      "                            [--document grant|application|both] [--json PATH] [NUMBER ...]\n"
      "       varnolt-cli library find|import|export ...\n"
      "       varnolt-cli watch add|list|remove|run|schedule ...\n"
      "       varnolt-cli --version\n"
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
  if (std::strcmp(argv[1], "library") == 0) return RunLibraryCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "watch") == 0) return RunWatchCommand(argc - 2, argv + 2);
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("varnolt-cli %d\n", versionfile::kProgramVersion);
    return 0;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage(stdout);
    return 0;
  }
  Usage(stderr);
  return 2;
}
