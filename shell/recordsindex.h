#pragma once
#include <string>
#include <vector>

// The records index page: the stored search reports and PDFs as links, rebuilt on demand.
namespace recordsindex {

// Where the page lives below a data-directory root.
std::string PagePath(const std::string& root);

// A link target for an absolute path: "%", "#" and "?" are escaped, because a browser
// reads the target as an address and would otherwise cut it at "#" or "?" or decode "%".
std::string LinkTarget(const std::string& path);

// One "<li><a ...>" line per file of dir (not its subdirectories), in listing order.
// A missing or empty directory gives no lines.
std::vector<std::string> ListingLines(const std::string& dir);

// Every line of the page for a root, with main.css linked from programDir.
std::vector<std::string> PageLines(const std::string& root, const std::string& programDir);

// Writes the page for root (CR LF lines, GBK) and returns its path. Throws EFileError
// when root + "/data" is missing or the file cannot be written.
std::string Build(const std::string& root, const std::string& programDir);

}  // namespace recordsindex
