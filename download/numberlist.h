#pragma once
#include <string>
#include <vector>

#include "base/path.h"

// The number list rules shared by the download dialog and varnolt-cli.

// Adding a typed number: trims it (bytes at or below 0x20), writes the trimmed text back
// to `text`, and checks its length (6, 8 or 12 bytes). A wrong length returns false with
// `error` = "对不起，您输入的申请号格式不正确！" (GBK); an exact duplicate returns true and
// adds nothing; otherwise the number is appended.
bool AddTypedNumber(std::vector<std::string>& list, std::string& text, std::string& error);

// Importing a text file: its lines, unchanged (CR LF, CR or LF; empty lines kept; no empty
// entry for a final line break). Throws EFileError when the file cannot be read.
std::vector<std::string> ImportNumberFile(const TPath& path);

// The list handed to the worker: every entry followed by CR LF.
std::string NumbersAsText(const std::vector<std::string>& list);

// Whether the number edit's text reads as a number, with "." as the decimal separator:
// blanks, an optional sign, digits with an optional "." and digits (at least one digit or
// the point), an optional exponent ("E" or "e", optional sign, digits), blanks.
bool ReadsAsNumber(const std::string& text);
