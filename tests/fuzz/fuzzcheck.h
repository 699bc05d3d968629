#pragma once
// What the fuzz targets share: the check that stops at a broken invariant, and the check
// that text from a page never adds lines of its own to a request.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the run with the invariant's words; libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : FuzzFail(#cond, __FILE__, __LINE__))

[[noreturn]] inline void FuzzFail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
  std::abort();
}

inline std::string FuzzBytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A GET of url as the client writes it: either refused (ENetUnsafeRequest) because the
// target or the Host field holds CR, LF or NUL, or a head whose only line breaks are the
// CR LF ending each of its lines: the request line, header lines (a folded one starting
// with a blank), the empty line.
void CheckRequestHeadFor(const std::string& url);
