#pragma once
#include <string>

// Text from OPS replies is UTF-8. The readers keep it so (cleaned), because file names and
// UTF-8 outputs (the terminal, --json) take it as it is; a GBK page takes ReplyPageText.

// The text fit for every use: bytes that are not UTF-8 as U+FFFD, each run of white space
// and control characters (line breaks, tabs, no-break and typographic spaces such as
// U+2002, the ideographic space) as one space, zero-width characters and byte-order marks
// dropped, no space at either end. A line break in a title can then never start a line of
// its own in a progress line or a report.
std::string CleanReplyText(const std::string& utf8);

// The text as GBK page text: "&", "<", ">" and '"' as entities, since the text is plain
// and a page would read them as markup; a character GBK cannot write as a character
// reference ("&#8226;"), so that it reaches the reader instead of a question mark.
std::string ReplyPageText(const std::string& utf8);
