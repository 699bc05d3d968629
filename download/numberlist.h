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

// The numbers of varnolt-cli beyond the dialog's rules: the forms people paste.

// The check digit of an application number: its digits times 2, 3, 4, 5, 6, 7, 8, 9, 2,
// 3, 4, 5 from the left, summed, modulo 11; 10 is written "X".
char ApplicationCheckDigit(const std::string& digits);

// Whether an entry goes to the run as it is: ASCII digits only, or empty.
bool IsPlainEntry(const std::string& entry);

// A pasted entry (GBK) with its full-width forms (GBK row A3) as their ASCII characters,
// letters upper-cased, blanks (ASCII and the full-width space) dropped from both ends.
// False when a GBK character outside row A3 remains.
bool NarrowPastedEntry(const std::string& entry, std::string& out);

// Reads an entry (GBK) in a pasted form: blanks around it (ASCII or full-width), a "CN"
// or "ZL" before it, full-width characters, a "." and the check digit after it (checked).
// True with the 8- or 12-digit number; false with the reason (GBK) it gives none.
bool ReadPastedNumber(const std::string& entry, std::string& number, std::string& reason);

// Adds one entry of varnolt-cli's command line (typed) or of its --file: a plain entry
// as the dialog takes it (typed: AddTypedNumber; from a file: unchanged), a pasted form
// as its number unless an earlier entry gave that number already.
enum class TCliEntry { Added, WrongLength, Refused };
// WrongLength: a plain typed entry AddTypedNumber refuses (message: its text); Refused: a
// pasted form that gives no number (message: the reason).
TCliEntry AddCliEntry(std::vector<std::string>& list, const std::string& entry, bool typed, std::string& message);
