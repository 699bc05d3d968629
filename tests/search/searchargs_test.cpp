// The search options as an argument list: what the command reads, a saved search reads
// back the same, and a bad value is the option's own failure.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "search/searchargs.h"

namespace {

using Args = std::vector<std::string>;

TEST(SearchArguments, EveryOptionReadsBackAsWritten) {
  TSearchOptions options;
  std::string bad;
  const Args typed = {"--title", "电池 隔膜", "--abstract", "it's", "--class", "H01M", "--legal-status",
                      "--abstract-info", "--first-claim-ocr", "--patentee", "--max", "250", "--source", "ops"};
  ASSERT_TRUE(ReadSearchArguments(typed, options, bad)) << bad;
  EXPECT_EQ(options.ask.title, Utf8ToGbk("电池 隔膜"));
  EXPECT_TRUE(options.ask.firstClaim);  // implied by --first-claim-ocr
  EXPECT_TRUE(options.ask.firstClaimOcr);
  EXPECT_EQ(options.ask.max, 250);
  EXPECT_EQ(options.source, TSourceKind::Ops);
  // Written back: the same list (first-claim implied), and it reads back to the same ask.
  EXPECT_EQ(SearchArguments(options), typed);
  EXPECT_EQ(ShellWords(SearchArguments(options)),
            "--title '电池 隔膜' --abstract 'it'\\''s' --class H01M --legal-status --abstract-info "
            "--first-claim-ocr --patentee --max 250 --source ops");
  // Defaults and empty texts write nothing.
  TSearchOptions plain;
  plain.ask.title = Utf8ToGbk("伞");
  plain.ask.classification = "  ";
  EXPECT_EQ(SearchArguments(plain), (Args{"--title", "伞"}));
}

TEST(SearchArguments, MissingOrBadValuesAndForeignOptions) {
  for (const Args& args : {Args{"--title"}, Args{"--max", "0"}, Args{"--max", "x"}, Args{"--source", "web"},
                           Args{"--title", "a", "--download"}}) {
    TSearchOptions options;
    std::string bad;
    EXPECT_FALSE(ReadSearchArguments(args, options, bad)) << args[0];
    EXPECT_FALSE(bad.empty());
  }
  TSearchOptions options;
  size_t i = 0;
  EXPECT_EQ(ReadSearchArgument({"--json", "x"}, i, options), TSearchArgument::NotSearch);
  EXPECT_EQ(i, 0u);
  i = 0;
  EXPECT_EQ(ReadSearchArgument({"--max", "7", "--json"}, i, options), TSearchArgument::Read);
  EXPECT_EQ(i, 1u);
}

}  // namespace
