#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/bytes.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "shell/versionfile.h"
#include "sources/ops/opsaccount.h"

#include "commands.h"

namespace {
void WriteLine(FILE* out, std::string utf8) {
  utf8 += '\n';
  std::fwrite(utf8.data(), 1, utf8.size(), out);
  std::fflush(out);
}
}  // namespace

void PrintLine(FILE* out, const std::string& gbk) { WriteLine(out, GbkToUtf8(gbk)); }

TPath AbsolutePath(const TPath& path) {
  char buf[4096];
  if (!path.Bytes().empty() && path.Bytes()[0] == '/') return path;
  return ::getcwd(buf, sizeof buf) ? TPath::FromSystem(buf).Entry(path.Bytes()) : path;
}

void PrintPath(FILE* out, const TPath& path) { WriteLine(out, AbsolutePath(path).Shown()); }

bool ReadOptionValue(int argc, char** argv, int& i, std::string& value) {
  if (i + 1 >= argc) return false;
  value = argv[++i];
  return true;
}

bool ReadOptionNumber(int argc, char** argv, int& i, int lo, int hi, int& value) {
  int at = i;
  std::string text;
  int64_t v = 0;
  if (!ReadOptionValue(argc, argv, at, text) || !ReadDecimal(text, v) || v < lo || v > hi) return false;
  value = static_cast<int>(v);
  i = at;
  return true;
}

bool WriteJson(const std::string& path, const std::string& text) {
  try {
    WriteFileBytes(TPath::FromSystem(path), text);
    return true;
  } catch (const EFileError& e) {
    PrintLine(stderr, e.what());
    return false;
  }
}

bool ReadSourceOption(int argc, char** argv, int& i, std::optional<TSourceKind>& source) {
  std::string name;
  if (!ReadOptionValue(argc, argv, i, name)) return false;
  source = ReadSourceName(name);
  return source.has_value();
}

bool CredentialsReady(TSourceKind kind) {
  if (kind != TSourceKind::Ops || ReadOpsCredentials()) return true;
  PrintLine(stderr, MissingCredentialsMessage());
  return false;
}

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
