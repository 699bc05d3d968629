#pragma once
#include <string>

// Addresses of the lookup bar and the help menu's links, byte for byte (GBK).
namespace lookup {

// The address for the text of ch2en in the mode named by optioncb's text: the
// dictionary when the mode is exactly "翻译单词", else the web search. The word is the
// text trimmed of bytes at or below 0x20; its Chinese characters go in as their GBK bytes
// percent-encoded, everything else unescaped. An empty word gives an empty address:
// nothing to show.
std::string LookupAddress(const std::string& modeText, const std::string& text);

// The help menu's fixed links.
enum class Link { MakerHome, OfficeCN, OfficeDerwent, OfficeEP, OfficeJP, OfficeUS, OfficeWIPO };
std::string LinkAddress(Link link);

}  // namespace lookup
