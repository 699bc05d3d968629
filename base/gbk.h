#pragma once
#include <string>

// The one place where GBK (code page 936) meets UTF-8. Neither direction throws:
// an invalid GBK sequence becomes U+FFFD, a character GBK cannot hold becomes "?".
std::string GbkToUtf8(const std::string& gbk);
std::string Utf8ToGbk(const std::string& utf8);

// UTF-8 text to GBK only when every character has a GBK form that converts back to it;
// false (and gbk untouched) otherwise.
bool Utf8ToGbkExact(const std::string& utf8, std::string& gbk);

// UTF-8 text to GBK for an HTML page: a character GBK cannot hold becomes a character
// reference ("&#128512;"), so the page still shows it.
std::string Utf8ToGbkWithReferences(const std::string& utf8);
// Back: GBK text to UTF-8 with each decimal character reference ("&#8226;") of a
// character GBK cannot hold as that character; other references stay as they are.
std::string GbkWithReferencesToUtf8(const std::string& gbk);

// Any bytes as valid UTF-8: each byte that does not begin a well-formed sequence becomes
// U+FFFD, the way file managers show names that are not UTF-8.
std::string ValidUtf8(const std::string& bytes);

// Length of the well-formed UTF-8 sequence that begins at p (1 to 4), 0 when the bytes
// there begin none (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8SequenceAt(const char* p, size_t left);

// The code point of the well-formed sequence of n bytes at p (n from Utf8SequenceAt).
unsigned Utf8CodePointAt(const char* p, size_t n);

// Chinese characters, CJK punctuation and full-width forms: text written without blanks
// between its characters.
bool IsCjkCodePoint(unsigned cp);

// Chinese characters alone: the unified ideographs, their extensions and compatibility
// forms, and 〇.
bool IsHanCodePoint(unsigned cp);
