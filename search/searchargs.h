#pragma once
// The options of `varnolt-cli search` that say what to search, read from and written to an
// argument list. The command reads them here, a watch keeps its search as such a list and
// reads it back here at every run, and the desktop's search dialog writes its fields as one:
// so a saved search means tomorrow what the same arguments mean to the command then.
#include <optional>
#include <string>
#include <vector>

#include "sources/source.h"

struct TSearchOptions {
  TSearchAsk ask;                     // texts GBK
  std::optional<TSourceKind> source;  // --source; none: the run's default
  std::vector<std::string> opsOnly;   // the options read that only OPS takes, in their order
};

enum class TSearchArgument {
  NotSearch,  // not one of these options: the caller's own, or a bad one
  Read,
  Bad,        // one of these options without its value, or with a value that does not read
};

// Reads the option at args[i] (UTF-8, as typed) into options and moves i past its value
// (onto its last argument, as a for loop's ++i expects).
TSearchArgument ReadSearchArgument(const std::vector<std::string>& args, size_t& i, TSearchOptions& options);

// Every argument of the list; the first that is not a search option or does not read
// goes to bad (and false is returned).
bool ReadSearchArguments(const std::vector<std::string>& args, TSearchOptions& options, std::string& bad);

// The argument list (UTF-8) that reads back as the options: each option set, in the order
// the command's help lists them.
std::vector<std::string> SearchArguments(const TSearchOptions& options);

// The arguments as a shell would take them back: words that need it in single quotes.
std::string ShellWords(const std::vector<std::string>& args);
