// The Chinese-English glossary of the OPS search: its cleaning and building, the compiled
// table, the split of typed words, the CQL clauses and OPS's term limits.
#include "sources/ops/glossary.h"

#include <gtest/gtest.h>

#include <sstream>

#include "sources/ops/cqlterms.h"
#include "tools/glossarybuild.h"

namespace {

std::vector<std::string> Texts(const std::vector<TGlossaryEquivalent>& list) {
  std::vector<std::string> out;
  for (const TGlossaryEquivalent& e : list) out.push_back(e.text);
  return out;
}

using TWords = std::vector<std::string>;

TEST(GlossaryBuild, SensesCleanedIntoSearchEquivalents) {
  const std::pair<const char*, TWords> cases[] = {
      {"battery; electric cell", {"battery", "electric cell"}},
      {"(machine) gear", {"gear"}},
      {"lithium (chemistry)", {"lithium"}},
      {"social science (abbr.)", {"social science"}},
      {"a taxi; a cab (abbr. for 的士[di1 shi4])", {"taxi", "cab"}},
      {"lit. iron horse; electric appliances etc", {"iron horse", "electric appliances"}},
      {"all right; OK!; will do", {"all right", "OK", "will do"}},
      {"to give sb sth; phone call or telegram; what?", {}},
      {"of; ~'s (possessive particle)", {}},
      {"CL:個|个[ge4]; see 電池|电池[dian4 chi2]", {}},
      {"divided by lack of mutual comprehension; 110; and/or", {}},
  };
  for (const auto& [sense, expected] : cases) EXPECT_EQ(Texts(CleanSense(sense)), expected) << sense;

  EXPECT_EQ(CleanSense("to prepare; preparation (chemistry)"),
            (std::vector<TGlossaryEquivalent>{{"prepare", true}, {"preparation", false}}));
  EXPECT_EQ(CleanSense("to be alive"), (std::vector<TGlossaryEquivalent>{{"alive", true}}));
}

// The ith ideograph from U+4E00, for headwords made up by a test.
std::string Han(int i) {
  const unsigned cp = 0x4E00 + i;
  return {char(0xE0 | cp >> 12), char(0x80 | (cp >> 6 & 0x3F)), char(0x80 | (cp & 0x3F))};
}

TEST(GlossaryBuild, OrdersNounsCommonWordsVerbsAndLetsPatentWordsReplace) {
  std::string cedict = "# comment\n方法\tway; method/to process\n齿轮\t(machine) gear/Gear\n多\t";
  for (int i = 0; i < 12; ++i) cedict += (i ? "/item" : "item") + std::string(1, char('a' + i));
  cedict += "\n";
  std::istringstream in(cedict), own("隔膜\tseparator/membrane\n的\t\n");
  const std::vector<TGlossaryEntry> entries = BuildGlossary(in, "c", own, "p");
  std::vector<std::string> words;
  for (const TGlossaryEntry& e : entries) words.push_back(e.word);
  ASSERT_EQ(words, (TWords{"多", "方法", "的", "隔膜", "齿轮"}));     // by bytes
  ASSERT_EQ(entries[0].equivalents.size(), kGlossaryMaxEquivalents);  // the first ones
  EXPECT_EQ(entries[0].equivalents.back(), std::string("item") + char('a' + kGlossaryMaxEquivalents - 1));
  EXPECT_EQ(entries[1].equivalents, (TWords{"way", "method", "process"}));
  EXPECT_TRUE(entries[2].equivalents.empty());
  EXPECT_EQ(entries[3].equivalents, (TWords{"separator", "membrane"}));
  EXPECT_EQ(entries[4].equivalents, TWords{"gear"});

  // Given for kGlossaryCommonSpread words, "way" is a common word: after the other nouns.
  std::string commonSource = "方法\tway; method/to process\n";
  for (int i = 1; i < kGlossaryCommonSpread; ++i) commonSource += Han(i) + "\tway\n";
  std::istringstream commonIn(commonSource), none;
  const std::vector<TGlossaryEntry> common = BuildGlossary(commonIn, "c", none, "p");
  ASSERT_EQ(common.size(), size_t(kGlossaryCommonSpread));
  EXPECT_EQ(common.back().word, "方法");
  EXPECT_EQ(common.back().equivalents, (TWords{"method", "way", "process"}));
}

TEST(GlossaryBuild, SourceFaultsNameTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"电池\tbattery\n电池\tcell\n", "c:2:"},
      {"\n3D打印\tto 3D print\n", "c:2:"},
      {"电池 battery\n", "c:1:"},
  };
  for (const auto& [source, where] : cases) {
    std::istringstream in(source), own;
    try {
      BuildGlossary(in, "c", own, "p");
      ADD_FAILURE() << source;
    } catch (const EGlossarySourceError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, where.size()), where) << e.what();
    }
  }
  for (const char* line : {"隔膜\tsepa*rator\n", "隔膜\tseparator/separator\n", "隔膜\ta b c d e\n"}) {
    std::istringstream in, own(std::string("# x\n") + line);
    EXPECT_THROW(BuildGlossary(in, "c", own, "p"), EGlossarySourceError) << line;
  }
}

TEST(Glossary, CompiledTableHoldsTechnicalWords) {
  EXPECT_GT(GlossarySize(), 50000);
  const std::pair<const char*, TWords> cases[] = {
      {"电池", {"battery", "electric cell"}},
      {"隔膜", {"separator", "membrane", "diaphragm"}},
      {"齿轮箱", {"gearbox"}},
      {"锂离子", {"lithium ion", "Li-ion"}},
      {"锂离子电池", {"lithium ion battery"}},
      {"传感器", {"sensor", "transducer"}},
      {"半导体", {"semiconductor"}},
      {"灯", {"lamp", "lantern", "light"}},  // CC-CEDICT: lamp, light, lantern; light is a common word
      {"管", {"tube", "pipe", "woodwind", "writing brush", "towards", "take care", "control", "manage"}},  // verbs last
      {"的", {}},
      {"鑫", {}},
      {"电池隔膜", {}},
  };
  for (const auto& [word, expected] : cases) EXPECT_EQ(GlossaryEquivalents(word), expected) << word;
  EXPECT_TRUE(GlossaryHas("的"));
  EXPECT_FALSE(GlossaryHas("鑫"));
  EXPECT_FALSE(GlossaryHas(""));
}

std::string Shown(const std::vector<TGlossaryWord>& words) {
  std::string out;
  for (const TGlossaryWord& w : words) out += (out.empty() ? "" : " ") + w.text + (w.inGlossary ? "" : "?");
  return out;
}

TEST(Glossary, SplitsByLongestMatchAndKeepsTheRestAsTyped) {
  const std::pair<const char*, const char*> cases[] = {
      {"电池隔膜", "电池 隔膜"},
      {"锂离子电池隔膜", "锂离子电池 隔膜"},
      {"齿轮箱", "齿轮箱"},
      {"一种齿轮箱", "一种 齿轮箱"},
      {"鑫犇电池鑫", "鑫犇? 电池 鑫?"},
      {"LED灯", "LED? 灯"},
      {"ＬＥＤ灯２个", "LED? 灯 2? 个"},
      {"PM2.5传感器", "PM2.5? 传感器"},
      {"Li-ion电池. -x", "Li-ion? 电池 x?"},
      {"电池，隔膜 （半导体）、", "电池 隔膜 半导体"},
      {"  ,.;", ""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(Shown(GlossarySplit(text)), expected) << text;
}

void ExpectWithinLimits(const TOpsTextClauses& r, int otherTerms) {
  int terms = 0;
  for (const std::string& c : r.clauses) {
    const TCqlTermCount count = CqlTermCount(c);
    EXPECT_TRUE(count.Fits()) << c;
    terms += count.total;
  }
  EXPECT_EQ(terms, r.terms);
  EXPECT_LE(terms + otherTerms, kOpsTermsInAll);
}

TEST(OpsTextClauses, WordsAsTypedOrTheirTranslation) {
  const std::pair<const char*, const char*> cases[] = {
      {"gearbox  lid", R"(ti all "gearbox lid")"},
      {"齿轮箱", R"((ti all "齿轮箱" or ti="gearbox"))"},
      {"一种齿轮箱", R"((ti all "一种齿轮箱" or ti="gearbox"))"},
      {"电池隔膜",
       R"((ti all "电池隔膜" or ((ti="battery" or ti="electric cell") and (ti="separator" or ti="membrane" or ti="diaphragm"))))"},
      {"LED灯 and 齿轮箱",
       R"((ti all "LED灯 and 齿轮箱" or (ti="LED" and (ti="lamp" or ti="lantern" or ti="light") and ti="gearbox")))"},
      {"鑫犇齿轮箱齿轮箱", R"((ti all "鑫犇齿轮箱齿轮箱" or (ti="鑫犇" and ti="gearbox")))"},
      {"鑫犇", R"(ti all "鑫犇")"},
      {"", ""},
  };
  for (const auto& [words, cql] : cases) {
    const TOpsTextClauses r = OpsTextClauses({{"ti", words}}, 1, true);
    EXPECT_EQ(r.clauses, std::vector<std::string>{cql}) << words;
    EXPECT_TRUE(r.fits && r.dropped.empty() && r.untranslated.empty()) << words;
    ExpectWithinLimits(r, 1);
  }
  const TOpsTextClauses typed = OpsTextClauses({{"ti", "电池隔膜"}, {"ab", "齿轮箱"}}, 1, false);
  EXPECT_EQ(typed.clauses, (std::vector<std::string>{R"(ti all "电池隔膜")", R"(ab all "齿轮箱")"}));
  EXPECT_EQ(typed.terms, 2);
}

TEST(OpsTextClauses, LeastSpecificEquivalentsGoFirstAndLimitsHold) {
  // 锂离子电池 (3 words) + 隔膜 (3) + 半导体 + 传感器 (2) + 齿轮箱 + the words as typed: 11 in ti.
  TOpsTextClauses r = OpsTextClauses({{"ti", "锂离子电池隔膜半导体传感器齿轮箱"}}, 1, true);
  EXPECT_EQ(r.dropped, (std::vector<TGlossaryDrop>{{"ti", "隔膜", "diaphragm"}}));
  EXPECT_EQ(r.terms, kOpsTermsPerField);
  ExpectWithinLimits(r, 1);

  // Two fields over the total: the later field's longest list gives way first.
  r = OpsTextClauses({{"ti", "电池隔膜"}, {"ab", "电池隔膜"}}, 8, true);
  EXPECT_EQ(r.dropped, (std::vector<TGlossaryDrop>{{"ab", "隔膜", "diaphragm"}, {"ti", "隔膜", "diaphragm"}}));
  ExpectWithinLimits(r, 8);

  // One equivalent a word is still too many: the field goes as typed, and says so.
  r = OpsTextClauses({{"ti", "电池隔膜"}}, kOpsTermsInAll - 2, true);
  EXPECT_EQ(r.clauses, std::vector<std::string>{R"(ti all "电池隔膜")"});
  EXPECT_EQ(r.untranslated, (std::vector<TOpsTextField>{{"ti", "电池隔膜"}}));
  EXPECT_TRUE(r.dropped.empty());
  EXPECT_TRUE(r.fits);
  ExpectWithinLimits(r, kOpsTermsInAll - 2);

  // The words as typed alone are too many: nothing is translated, and the caller is told.
  r = OpsTextClauses({{"ti", "a b c d e f g h i j k 齿轮箱"}}, 1, true);
  EXPECT_FALSE(r.fits);
  EXPECT_EQ(r.clauses, std::vector<std::string>{R"(ti all "a b c d e f g h i j k 齿轮箱")"});
  EXPECT_FALSE(OpsTextClauses({{"ti", "齿轮箱"}}, kOpsTermsInAll, true).fits);
}

TEST(CqlTermCount, CountsTheWordsOfEveryTerm) {
  const std::tuple<const char*, int, std::map<std::string, int>> cases[] = {
      {R"(ti all "lithium  battery" and pn=CN)", 3, {{"ti", 2}, {"pn", 1}}},
      {R"((title="lithium ion battery" or ti=gear) and ic=H01M)", 5, {{"ti", 4}, {"ic", 1}}},
      {R"(pd within "20170101 20171231")", 2, {{"pd", 2}}},
      {R"(cpc=/low A01B and ta=green prox/distance<=3 ta=energy)", 3, {{"cpc", 1}, {"ta", 2}}},
      {R"(ti = "a \"b c" and ab any "x,y")", 5, {{"ti", 3}, {"ab", 2}}},
      {R"(EP and 2009 and Smith)", 3, {{"", 3}}},
  };
  for (const auto& [cql, total, byIndex] : cases) {
    const TCqlTermCount count = CqlTermCount(cql);
    EXPECT_EQ(count.total, total) << cql;
    EXPECT_EQ(count.byIndex, byIndex) << cql;
  }
  EXPECT_FALSE(CqlTermCount(R"(ti all "a b c d e f g h i j k")").Fits());
  EXPECT_TRUE(CqlTermCount(R"(ti all "a b c d e f g h i j" and ab all "a b c d e f g h i j")").Fits());
  EXPECT_FALSE(CqlTermCount(R"(ti all "a b c d e f g h i j" and ab all "a b c d e f g h i j" and pn=CN)").Fits());
}

}  // namespace
