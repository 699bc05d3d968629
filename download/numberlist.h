#pragma once
#include <string>
#include <vector>

#include "base/path.h"
#include "sources/source.h"

// The number list of the download dialog and varnolt-cli: adding entries, importing a
// file. Reading the numbers themselves is the sources' (sources/cnnumbers.h, source.h).

// Adding a typed number: trims it (bytes at or below 0x20), writes the trimmed text back
// to `text`, and checks its length (6, 8 or 12 bytes). A wrong length returns false with
// `error` = "对不起，您输入的申请号格式不正确！" (GBK); an exact duplicate returns true and
// adds nothing; otherwise the number is appended.
bool AddTypedNumber(std::vector<std::string>& list, std::string& text, std::string& error);

// Importing a text file: its lines, unchanged (CR LF, CR or LF; empty lines kept; no empty
// entry for a final line break). Throws EFileError when the file cannot be read.
std::vector<std::string> ImportNumberFile(const TPath& path);

// Whether the number edit's text reads as a number, with "." as the decimal separator:
// blanks, an optional sign, digits with an optional "." and digits (at least one digit or
// the point), an optional exponent ("E" or "e", optional sign, digits), blanks.
bool ReadsAsNumber(const std::string& text);

// Adds one entry of varnolt-cli's command line (typed) or of its --file for a run of the
// source: a publication the source fetches as it is (OPS) unchanged; a plain entry as the
// dialog takes it (typed: AddTypedNumber; from a file: unchanged); a pasted form as its
// number unless an earlier entry gave that number already.
enum class TCliEntry { Added, WrongLength, Refused };
// WrongLength: a plain typed entry AddTypedNumber refuses (message: its text); Refused: a
// pasted form that gives no number (message: the reason).
TCliEntry AddCliEntry(std::vector<std::string>& list, const std::string& entry, bool typed, TSourceKind source,
                      std::string& message);
