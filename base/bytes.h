#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Byte-string helpers: cutting with the exact boundary rules the page readers rely on,
// number reading, trimming and ASCII case. Positions count from 1; 0 means "not found".

// Position of the first occurrence of marker in text; 0 when absent or either is empty.
long BytePos(const std::string& marker, const std::string& text);
// The same from byte index from (counted from 1) on.
long BytePos(const std::string& marker, const std::string& text, long from);

// count bytes of text from byte index on. index < 1 counts as 1 (count unchanged);
// index past the end, a negative count or an empty text give the empty text.
std::string ByteCopy(const std::string& text, long index, long count);

// Decimal integer with optional leading blanks and a sign, nothing after; else 0.
// Values outside the signed 32-bit range read as 0 as well.
int ReadInteger(const std::string& text);

// Like ReadInteger, but "0x"/"0X" after the sign selects hexadecimal.
int ReadVersionInteger(const std::string& text);

// Optional sign and decimal digits, nothing else (no blanks); false when unreadable or
// beyond the signed 64-bit range.
bool ReadDecimal(const std::string& text, int64_t& value);

// The pieces of text between separators, empty ones included: "a,,b" is "a", "", "b";
// an empty text is one empty piece.
std::vector<std::string> SplitAt(const std::string& text, char separator);

// Removes bytes at or below 0x20 from both ends.
std::string TrimBytes(const std::string& text);

// Equal but for the case of ASCII letters; other bytes (GBK among them) compare exactly.
bool SameTextNoCase(const std::string& a, const std::string& b);

// ASCII letters upper-cased, every other byte (trail bytes of GBK characters too) kept.
std::string UpperAscii(std::string text);
std::string LowerAscii(std::string text);

// Appends "%" and the byte's two upper-case hex digits.
void AppendPercentEscape(std::string& out, unsigned char byte);
// Each "%" with two hex digits as the byte they name; anything else as it is.
std::string PercentDecoded(const std::string& text);
