#pragma once
// What the commands of varnolt-cli share: printing to the terminal, reading options, the
// --json file and the source's readiness.
#include <cstdio>
#include <optional>
#include <string>

#include "base/path.h"
#include "sources/source.h"

// Prints one GBK line as UTF-8 and flushes, so progress shows as it comes.
void PrintLine(FILE* out, const std::string& gbk);
// The absolute form of a path (the file need not exist).
TPath AbsolutePath(const TPath& path);
// Prints the absolute form of a path as a file manager shows it.
void PrintPath(FILE* out, const TPath& path);

// The value after option argv[i], as it stands; moves i past it. False when it is missing.
bool ReadOptionValue(int argc, char** argv, int& i, std::string& value);
// The value after option argv[i] as a decimal in [lo, hi]; moves i past it. False when
// it is missing or not such a number.
bool ReadOptionNumber(int argc, char** argv, int& i, int lo, int hi, int& value);

// Writes a --json document (UTF-8) to path, whole; false, with a line on stderr, when it
// cannot be written.
bool WriteJson(const std::string& path, const std::string& text);

// --source ops|site; false when the value is missing or neither.
bool ReadSourceOption(int argc, char** argv, int& i, std::optional<TSourceKind>& source);
// Whether a run of the source can start: OPS needs credentials; without them the message
// of where to register and where to put them goes to stderr and this returns false.
bool CredentialsReady(TSourceKind kind);
