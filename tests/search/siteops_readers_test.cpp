// The page and link readers of the site operations on literal pages.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "sources/site/siteops.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

const std::string kRow = "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">";
const std::string kTable =
    "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">";
const std::string kZiZw = "<td align=\"left\" class=\"zi_zw\">&nbsp;";
const std::string kKuang1 = "<td align=\"center\" bgcolor=\"#f4f3f3\" class=\"kuang1\">";
const std::string kKuang2 = "<td colspan=\"3\" class=\"kuang2\">&nbsp;";

std::string Row(const std::string& link) {
  return kRow + "<td>1</td><td><a href=\"" + link + "\">n</a></td><td><a href=\"" + link + "\">t</a></td></tr>\r\n";
}

std::vector<std::string> AllLinks(const std::string& page) {
  RecordLinks links(page);
  std::vector<std::string> out;
  std::string link;
  while (links.Next(link)) out.push_back(link);
  EXPECT_FALSE(links.Next(link));  // stays finished
  return out;
}

TEST(ReadRecordCount, CountTextVariants) {
  EXPECT_EQ(ReadRecordCount(G("<td>共有123条记录</td>")), 123);
  EXPECT_EQ(ReadRecordCount(G("共有 123条记录")), 123);
  EXPECT_EQ(ReadRecordCount(G("共有123 条记录")), 0);
  EXPECT_EQ(ReadRecordCount(G("123条记录")), 0);
  EXPECT_EQ(ReadRecordCount(G("共有123")), 0);
  EXPECT_EQ(ReadRecordCount(G("条记录 共有123")), 0);
  EXPECT_EQ(ReadRecordCount(G("共有条记录")), 0);
  EXPECT_EQ(ReadRecordCount(G("共有12a条记录")), 0);
  EXPECT_EQ(ReadRecordCount(""), 0);
  // First occurrences anywhere: a later, readable pair does not help.
  EXPECT_EQ(ReadRecordCount(G("共有x条记录 共有5条记录")), 0);
}

TEST(RecordLinks, EveryRecordLinkedTwiceYieldsOnePerRow) {
  std::string page = G("共有2条记录") + "<a href=\"head.jsp\">h</a>" + Row("a.jsp?recid=1") + Row("a.jsp?recid=2") +
                     kTable + "<a href=\"after.jsp\">next</a>";
  EXPECT_EQ(AllLinks(page), (std::vector<std::string>{"a.jsp?recid=1", "a.jsp?recid=2"}));
}

TEST(RecordLinks, LinksAreTakenOnDemand) {
  RecordLinks links(Row("one") + Row("two") + kTable);
  std::string link;
  ASSERT_TRUE(links.Next(link));
  EXPECT_EQ(link, "one");
  ASSERT_TRUE(links.Next(link));
  EXPECT_EQ(link, "two");
  EXPECT_FALSE(links.Next(link));
  EXPECT_EQ(link, "two");
}

TEST(RecordLinks, TableMarkerBoundsTheSearch) {
  // Without the table marker nothing is searched, though the count reads.
  std::string noTable = G("共有2条记录") + Row("a") + Row("b");
  EXPECT_EQ(ReadRecordCount(noTable), 2);
  EXPECT_TRUE(AllLinks(noTable).empty());
  // Without a row marker the page from its start is searched, pairs counted from there.
  std::string noRow = "<a href=\"x1\"><a href=\"x2\"><a href=\"x3\">" + kTable + "<a href=\"x4\">";
  EXPECT_EQ(AllLinks(noRow), (std::vector<std::string>{"x1", "x3"}));
  EXPECT_TRUE(AllLinks("").empty());
}

TEST(RecordLinks, OnlyDoubleQuotedHrefsCount) {
  std::string page = kRow + "<a href='s1'><a href=s2><A HREF=\"s3\"><a href = \"d1\"><a href=\"d2\"><a href=\"d3\">" +
                     kTable;
  EXPECT_EQ(AllLinks(page), (std::vector<std::string>{"d1", "d3"}));
}

TEST(FirstRecordLink, TakesTheFirstRowsFirstLink) {
  std::string page = "<html>" + Row("first.jsp?recid=CN1") + Row("second.jsp") + kTable;
  EXPECT_EQ(FirstRecordLink(page), "first.jsp?recid=CN1");
}

TEST(FirstRecordLink, RowWithoutQuotedHrefGivesTheCutFragment) {
  std::string page = "<p>" + kRow + "<td><a href='x.jsp'>1</a></td></tr><tr>" + kTable;
  EXPECT_EQ(FirstRecordLink(page), "<td><a href='x.jsp'>1</a></td><");
}

TEST(FirstRecordLink, MissingMarkers) {
  // No "</tr>" after the row marker: empty.
  EXPECT_EQ(FirstRecordLink(kRow + "<a href=\"x\">"), "");
  // No row marker: the cut starts at byte 80 of the page and never holds its last byte.
  EXPECT_EQ(FirstRecordLink(std::string(79, '.') + "<a href=\"y\"></tr>x"), "y");
  EXPECT_EQ(FirstRecordLink(std::string(75, '.') + "<a href=\"y\"></tr>x"), "ref=\"y\"><");
  EXPECT_EQ(FirstRecordLink(std::string(79, '.') + "abc</tr>"), "");
  EXPECT_EQ(FirstRecordLink(""), "");
}

TEST(LinkFields, TheExampleLink) {
  std::string link = "x.jsp?recid=CN02123456.7&leixin=a&title=T1&ipc=H01M10";
  EXPECT_EQ(ApplicationNumberFromLink(link), "02123456");
  EXPECT_EQ(TitleFromLink(link), "T1");
  EXPECT_EQ(ClassFromLink(link), "H01M1");
}

TEST(LinkFields, RawGbkAndTwelveDigits) {
  std::string title = G("锂离子电池");
  std::string link = "hyjs-yx-new.jsp?recid=CN200510012345.X&leixin=fmzl&title=" + title + "&ipc=H01M10/0525&";
  EXPECT_EQ(ApplicationNumberFromLink(link), "200510012345");
  EXPECT_EQ(TitleFromLink(link), title);
  EXPECT_EQ(ClassFromLink(link), "H01M10/0525");
}

TEST(LinkFields, MissingMarkers) {
  // No start marker: the cut starts at byte 8, 6 or 5 of the link.
  EXPECT_EQ(ApplicationNumberFromLink("abcdefgXYZ12.3&leixin=a"), "XYZ12");
  EXPECT_EQ(TitleFromLink("abcdeTITLE&ipc=z"), "TITLE");
  EXPECT_EQ(ClassFromLink("abcdCLASS!"), "CLASS");
  // No end marker: empty.
  EXPECT_EQ(ApplicationNumberFromLink("x?recid=CN02123456.7&title=a"), "");
  EXPECT_EQ(TitleFromLink("x?recid=CN1&title=abc"), "");
  EXPECT_EQ(ClassFromLink(""), "");
}

TEST(RecordType, CodesAndNames) {
  EXPECT_EQ(TypeCodeOf("02123456"), 1);
  EXPECT_EQ(TypeNameOf("02123456"), G("发明"));
  EXPECT_EQ(TypeCodeOf("200530012345"), 3);
  EXPECT_EQ(TypeNameOf("200530012345"), G("外观设计"));
  EXPECT_EQ(TypeCodeOf("872100"), 2);
  EXPECT_EQ(TypeNameOf("872100"), G("实用新型"));
  EXPECT_EQ(TypeNameOf("200580012345"), G("发明PCT"));
  EXPECT_EQ(TypeNameOf("01900123"), G("使用新型PCT"));
  EXPECT_EQ(TypeCodeOf("0212345"), 0);
  EXPECT_EQ(TypeNameOf("0212345"), G("未知"));
  EXPECT_EQ(TypeCodeOf("02A23456"), 0);
  EXPECT_EQ(TypeNameOf("02A23456"), G("未知"));
  EXPECT_EQ(TypeNameOf("02523456"), G("未知"));
  EXPECT_EQ(TypeNameOf("02023456"), G("未知"));
  EXPECT_EQ(TypeCodeOf(""), 0);
}

TEST(DetailReaders, AbstractClaimAndPatentee) {
  std::string page = "<table>" + kKuang1 + G("申请号：") + "</td><td>x</td>\r\n" + kKuang1 + G("申请(专利权)人： ") +
                     "</td>" + kKuang2 + G("张伟") + "</td>\r\n" + kZiZw + G("摘要正文") + "</td>\r\n" + kZiZw +
                     G("1．权利要求") + "</td></table>";
  EXPECT_EQ(AbstractFrom(page, 1), G("摘要正文"));
  EXPECT_EQ(FirstClaimFrom(page, 2), G("1．权利要求"));
  EXPECT_EQ(PatenteeFrom(page, 1), G("张伟"));
  EXPECT_EQ(PatenteeFrom(page, 0), G("张伟"));
  // The cell as the plain text a PDF's author takes.
  EXPECT_EQ(PlainCellText(G("&nbsp;哈尔滨工业大学；<br>张伟 &amp; 李强 ")), G("哈尔滨工业大学； 张伟 & 李强"));
}

TEST(DetailReaders, DesignPatents) {
  std::string page = G("<td>【申请（专利权）人】&nbsp;王芳</td>") + kZiZw + "abs</td>";
  EXPECT_EQ(AbstractFrom(page, 3), G("无"));
  EXPECT_EQ(FirstClaimFrom(page, 3), G("无"));
  EXPECT_EQ(AbstractFrom("", 3), G("无"));
  EXPECT_EQ(FirstClaimFrom("", 3), G("无"));
  EXPECT_EQ(PatenteeFrom(page, 3), G("王芳"));
  EXPECT_EQ(PatenteeFrom(page, 1), "");  // no kuang1 cell: nothing reads
}

TEST(DetailReaders, MissingMarkers) {
  // No zi_zw marker: the abstract runs from byte 37 of the page to the next "</td>".
  std::string page = std::string(36, '.') + "ABSTRACT</td>rest";
  EXPECT_EQ(AbstractFrom(page, 1), "ABSTRACT");
  // One zi_zw cell only: the claim is cut from byte 37 of what follows it.
  EXPECT_EQ(FirstClaimFrom(kZiZw + std::string(36, '-') + "CLAIM</td>xx", 1), "CLAIM");
  // No "</td>": empty.
  EXPECT_EQ(AbstractFrom(kZiZw + "open ended", 1), "");
  EXPECT_EQ(FirstClaimFrom(kZiZw + "a</td>" + kZiZw + "open ended", 1), "");
  EXPECT_EQ(PatenteeFrom(G("【申请（专利权）人】&nbsp;open"), 3), "");
  // A kuang1 cell whose next cell is not kuang2: the text after byte 37 of the cut.
  std::string odd = kKuang1 + G("申请(专利权)人： ") + "</td>" + std::string(36, '*') + "PAT</td>x";
  EXPECT_EQ(PatenteeFrom(odd, 1), "PAT");
  EXPECT_EQ(AbstractFrom("", 1), "");
  EXPECT_EQ(PatenteeFrom("", 1), "");
}

}  // namespace
