#pragma once
#include <string_view>

// The compiled glossary table (made by tools/glossarytable.cpp): records
// "word<TAB>equivalent|equivalent" sorted by the word's bytes.
namespace glossarytable {
int Size();
std::string_view Record(int i);
// The longest headword, in characters.
int LongestWord();
}  // namespace glossarytable
