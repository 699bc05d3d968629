#pragma once
// English and Latin-script forms of the corpus's Chinese texts for the OPS role: titles and
// abstracts in English, applicant names in the upper-case romanised form of the patent
// offices' name lists. UTF-8 in and out; an empty result where a text is not of the
// corpus's vocabulary (the record then has no such form, as fresh records often have not).
#include <string>

std::string EnglishTitle(const std::string& title);

// The abstract's English form; `englishTitle` is the record's English title.
std::string EnglishAbstract(const std::string& abstract, const std::string& englishTitle);

std::string LatinName(const std::string& name);
