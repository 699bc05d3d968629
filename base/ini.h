#pragma once
#include <string>
#include <vector>

#include "base/path.h"

// Settings files: GBK bytes, CR LF lines, read like the classic profile API.

// Section and key match without regard to ASCII case; the value is trimmed and cut to
// 2047 bytes. A missing file, section or key gives def.
std::string IniReadString(const TPath& path, const std::string& section,
                          const std::string& key, const std::string& def);

// Sets key in section to value, keeping every other line of the file: the key's line is
// replaced (its first one, matched as IniReadString matches), or added at the end of the
// section, or the section is added at the end of the file. A missing file is created.
// Throws EFileError when the file cannot be written.
void IniWriteString(const TPath& path, const std::string& section, const std::string& key,
                    const std::string& value);

// Splits text into lines at CR LF, CR or LF; a final line break adds no empty line.
std::vector<std::string> SplitLines(const std::string& text);

// Reads a text file into lines (see SplitLines). Throws EFileError when unreadable.
std::vector<std::string> ReadTextLines(const TPath& path);

// Writes the lines, each followed by CR LF, replacing any earlier file. Throws EFileError.
void WriteTextLines(const TPath& path, const std::vector<std::string>& lines);

// The lines joined with CR LF after each, as WriteTextLines writes them.
std::string JoinLinesCrLf(const std::vector<std::string>& lines);
