#pragma once
#include <string>

// The first claim cut from the recognised text of a claims page (GBK): from the line that
// opens with "1" and a separator ("1." "1．" "1、", or the comma, colon or nothing an OCR
// tool reads in their place) to the line that opens a later claim the same way (claim 2,
// or a later one when the 2 was misread), or to the end of the page. Its lines are joined
// as one text: no blanks between Chinese characters (the recognised ones hold some), one
// between other words. Empty when no claim 1 opens.
std::string FirstClaimFromText(const std::string& recognised);
