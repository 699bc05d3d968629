#include "search/searchargs.h"

#include <cctype>
#include <cstdint>
#include <string_view>

#include "base/bytes.h"
#include "base/gbk.h"

namespace {

// One option of the list: a text, a flag or a number of the ask. Reading and writing both
// go through this table, so an option added here is saved and read back alike.
struct TOptionSpec {
  const char* name;
  std::string TSearchAsk::*text = nullptr;
  bool TSearchAsk::*flag = nullptr;  // the option turns it from its default to the other value
  int TSearchAsk::*number = nullptr;
  int lo = 0, hi = 0;
  const char* value = nullptr;  // a flag's one value ("--collapse family")
  bool opsOnly = false;
};

const TOptionSpec kOptions[] = {
    {.name = "--title", .text = &TSearchAsk::title},
    {.name = "--abstract", .text = &TSearchAsk::abstractWords},
    {.name = "--class", .text = &TSearchAsk::classification},
    {.name = "--applicant", .text = &TSearchAsk::applicant, .opsOnly = true},
    {.name = "--inventor", .text = &TSearchAsk::inventor, .opsOnly = true},
    {.name = "--text", .text = &TSearchAsk::text, .opsOnly = true},
    {.name = "--cpc", .text = &TSearchAsk::cpc, .opsOnly = true},
    {.name = "--number", .text = &TSearchAsk::number, .opsOnly = true},
    {.name = "--from", .text = &TSearchAsk::dateFrom, .opsOnly = true},
    {.name = "--to", .text = &TSearchAsk::dateTo, .opsOnly = true},
    {.name = "--no-translate", .flag = &TSearchAsk::translate, .opsOnly = true},
    {.name = "--legal-status", .flag = &TSearchAsk::legalStatus},
    {.name = "--abstract-info", .flag = &TSearchAsk::abstractText},
    {.name = "--first-claim", .flag = &TSearchAsk::firstClaim},
    // Implies --first-claim (below).
    {.name = "--first-claim-ocr", .flag = &TSearchAsk::firstClaimOcr},
    {.name = "--patentee", .flag = &TSearchAsk::patentee},
    {.name = "--family", .flag = &TSearchAsk::family, .opsOnly = true},
    {.name = "--collapse", .flag = &TSearchAsk::collapseFamily, .value = "family", .opsOnly = true},
    {.name = "--max", .number = &TSearchAsk::max, .lo = 1, .hi = 100000},
};

}  // namespace

TSearchArgument ReadSearchArgument(const std::vector<std::string>& args, size_t& i, TSearchOptions& options) {
  const std::string& a = args[i];
  auto value = [&](std::string& into) {
    if (i + 1 >= args.size()) return false;
    into = args[++i];
    return true;
  };
  if (a == "--source") {
    std::string name;
    if (!value(name)) return TSearchArgument::Bad;
    options.source = ReadSourceName(name);
    return options.source ? TSearchArgument::Read : TSearchArgument::Bad;
  }
  const TSearchAsk defaults;
  for (const TOptionSpec& o : kOptions) {
    if (a != o.name) continue;
    TSearchAsk& ask = options.ask;
    if (o.flag) {
      std::string given;
      if (o.value && (!value(given) || given != o.value)) return TSearchArgument::Bad;
      ask.*o.flag = !(defaults.*o.flag);
      if (o.flag == &TSearchAsk::firstClaimOcr) ask.firstClaim = true;
    } else if (o.text) {
      std::string text;
      if (!value(text)) return TSearchArgument::Bad;
      ask.*o.text = Utf8ToGbk(text);
    } else {
      std::string text;
      int64_t v = 0;
      if (!value(text) || !ReadDecimal(text, v) || v < o.lo || v > o.hi) return TSearchArgument::Bad;
      ask.*o.number = int(v);
    }
    if (o.opsOnly) options.opsOnly.push_back(o.name);
    return TSearchArgument::Read;
  }
  return TSearchArgument::NotSearch;
}

bool ReadSearchArguments(const std::vector<std::string>& args, TSearchOptions& options, std::string& bad) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (ReadSearchArgument(args, i, options) != TSearchArgument::Read) {
      bad = args[i];
      return false;
    }
  }
  return true;
}

std::vector<std::string> SearchArguments(const TSearchOptions& options) {
  const TSearchAsk defaults;
  const TSearchAsk& ask = options.ask;
  std::vector<std::string> args;
  for (const TOptionSpec& o : kOptions) {
    if (o.text && !TrimBytes(ask.*o.text).empty()) {
      args.push_back(o.name);
      args.push_back(GbkToUtf8(ask.*o.text));
    } else if (o.flag && ask.*o.flag != defaults.*o.flag) {
      // --first-claim-ocr says --first-claim as well.
      if (o.flag == &TSearchAsk::firstClaim && ask.firstClaimOcr) continue;
      args.push_back(o.name);
      if (o.value) args.push_back(o.value);
    } else if (o.number && ask.*o.number != defaults.*o.number) {
      args.push_back(o.name);
      args.push_back(std::to_string(ask.*o.number));
    }
  }
  if (options.source) {
    args.push_back("--source");
    args.push_back(SourceName(*options.source));
  }
  return args;
}

std::string ShellWords(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& a : args) {
    if (!out.empty()) out += ' ';
    bool plain = !a.empty();
    for (unsigned char c : a)
      if (!(std::isalnum(c) || c >= 0x80 || std::string_view("-_./:=+,%@").find(char(c)) != std::string_view::npos))
        plain = false;
    if (plain) {
      out += a;
      continue;
    }
    out += '\'';
    for (char c : a) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    out += '\'';
  }
  return out;
}
