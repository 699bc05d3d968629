#pragma once
#include <string>
#include <vector>

#include "base/path.h"

// The records index page: the stored search reports and PDFs as links, rebuilt on demand.
namespace recordsindex {

// One "<li><a ...>" line per file of dir (not its subdirectories), sorted by name: byte
// order of the GBK name, ASCII letters without regard to case. A missing or empty
// directory gives no lines.
std::vector<std::string> ListingLines(const TPath& dir);

// Every line of the page for a root, with main.css linked from programDir.
std::vector<std::string> PageLines(const TPath& root, const TPath& programDir);

// Writes the page for root (CR LF lines, GBK) and returns its path. Throws EFileError
// when the data folder is missing or the file cannot be written.
TPath Build(const TPath& root, const TPath& programDir);

}  // namespace recordsindex
