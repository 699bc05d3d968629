#include <gtest/gtest.h>

#include <string>

#include "base/hosts.h"
#include "shell/lookup.h"

namespace {

const std::string kDict = "\xb7\xad\xd2\xeb\xb5\xa5\xb4\xca";    // 翻译单词
const std::string kSearch = "\xb9\xc8\xb8\xe8\xcb\xd1\xcb\xf7";  // 谷歌搜索
const std::string kBlocks =
    "&sa=%CB%D1%CB%F7&client=pub-0000000000000000&forid=1&ie=GB2312&oe=GB2312"
    "&cof=GALT%3A%23008000%3BGL%3A1%3BDIV%3A%23FFFFCC%3BVLC%3A663399%3BAH%3Acenter%3BBGC%3AFFFFFF"
    "%3BLBGC%3AFFFFCC%3BALC%3ACC0000%3BLC%3ACC0000%3BT%3A000000%3BGFNT%3A0000FF%3BGIMP%3A0000FF"
    "%3BFORID%3A1&hl=zh-CN";

class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    SiteHosts h = Hosts();
    h.DictionaryHost = "dict.test:81";
    h.WebSearchHost = "find.test";
    h.MakerHost = "maker.test";
    h.OfficeCN = "cn.test";
    h.OfficeDerwent = "dw.test";
    h.OfficeEP = "ep.test";
    h.OfficeJP = "jp.test";
    h.OfficeUS = "us.test";
    h.OfficeWIPO = "wipo.test";
    SetHosts(h);
  }
};

TEST_F(Lookup, DictionaryOnlyForTheExactModeText) {
  EXPECT_EQ(lookup::LookupAddress(kDict, "abc"), "http://dict.test:81/mini.php?q=abc");
  EXPECT_EQ(lookup::LookupAddress(kSearch, "abc"), "http://find.test/custom?q=abc" + kBlocks);
  EXPECT_EQ(lookup::LookupAddress(kDict + " ", "abc"), "http://find.test/custom?q=abc" + kBlocks);
  EXPECT_EQ(lookup::LookupAddress("anything", "abc"), "http://find.test/custom?q=abc" + kBlocks);
}

TEST_F(Lookup, WordTrimmedAsciiAsTypedChineseAsEscapedGbkBytes) {
  EXPECT_EQ(lookup::LookupAddress(kDict, " \t fuel cell \r\n"), "http://dict.test:81/mini.php?q=fuel cell");
  EXPECT_EQ(lookup::LookupAddress(kDict, "a&b=c#d+e%"), "http://dict.test:81/mini.php?q=a&b=c#d+e%");
  // 隔膜, and 乑 (81 5A), whose second byte would read as "Z".
  const std::string word = "\xb8\xf4\xc4\xa4 & \x81\x5a#";
  EXPECT_EQ(lookup::LookupAddress(kSearch, word), "http://find.test/custom?q=%B8%F4%C4%A4 & %81%5A#" + kBlocks);
  EXPECT_EQ(lookup::LookupAddress(kDict, word), "http://dict.test:81/mini.php?q=%B8%F4%C4%A4 & %81%5A#");
}

TEST_F(Lookup, EmptyOrBlankWordGivesNothing) {
  EXPECT_EQ(lookup::LookupAddress(kDict, ""), "");
  EXPECT_EQ(lookup::LookupAddress(kSearch, " \t\r\n "), "");
}

TEST_F(Lookup, HelpMenuLinks) {
  using lookup::Link;
  EXPECT_EQ(lookup::LinkAddress(Link::MakerHome), "http://maker.test");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeCN), "http://cn.test/");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeDerwent), "http://dw.test");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeEP), "http://ep.test");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeJP), "http://jp.test/");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeUS), "http://us.test/");
  EXPECT_EQ(lookup::LinkAddress(Link::OfficeWIPO), "http://wipo.test/portal/index.html.zh");
}

}  // namespace
