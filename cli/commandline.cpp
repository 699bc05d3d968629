#include "cli/commandline.h"

#include <unistd.h>

#include "base/bytes.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"

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
  const std::string reason = NotReadyReason(kind);
  if (reason.empty()) return true;
  PrintLine(stderr, reason);
  return false;
}

