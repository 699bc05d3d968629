#include <gtest/gtest.h>

#include "base/gbk.h"
#include "search/getquery.h"
#include "sources/site/siteops.h"
#include "search/searchreport.h"

namespace {
std::string G(const char* utf8) { return Utf8ToGbk(utf8); }
}  // namespace

TEST(SearchExpression, EveryCombinationOfTheThreeEdits) {
  EXPECT_EQ(BuildSearchExpression("", "", ""), "");
  EXPECT_EQ(BuildSearchExpression(G("电池"), "", ""), G("名称=(电池) "));
  EXPECT_EQ(BuildSearchExpression("", "A", ""), G("摘要=(A)"));
  EXPECT_EQ(BuildSearchExpression("", "", "C"), G("分类号=('%C%')"));
  EXPECT_EQ(BuildSearchExpression("T", "A", ""), G("名称=(T) and 摘要=(A) "));
  EXPECT_EQ(BuildSearchExpression("T", "", "C"), G("名称=(T) and 分类号=('%C%') "));
  EXPECT_EQ(BuildSearchExpression("", "A", "C"), G("摘要=(A)and 分类号=('%C%') "));
  EXPECT_EQ(BuildSearchExpression("T", "A", "C"), G("名称=(T) and 摘要=(A) and 分类号=('%C%') "));
}

TEST(SearchExpression, TrimsBlanksAndUpperCasesTheClassificationByteByByte) {
  EXPECT_EQ(BuildSearchExpression(" \t ", "\r\n", "  "), "");
  EXPECT_EQ(BuildSearchExpression("  a b  ", "", ""), G("名称=(a b) "));
  EXPECT_EQ(BuildSearchExpression("", "", " h01m "), G("分类号=('%H01M%')"));
  // The second byte of a GBK character is upper-cased too; nothing else changes.
  EXPECT_EQ(BuildSearchExpression("", "", "\x81\x61z"), G("分类号=('%") + "\x81\x41Z" + "%')");
  // Title and abstract keep their case and any operators the user typed.
  EXPECT_EQ(BuildSearchExpression("ab or cd", "", ""), G("名称=(ab or cd) "));
}

TEST(SearchReportPath, NamesTheFileAfterTheExpressionInsideTheQueryFolder) {
  const TPath r = TPath::FromSystem("/r");
  EXPECT_EQ(SearchReportPath(r, G("名称=(电池) ")), r + "/data/query/" + G("名称=(电池) ") + ".html");
  EXPECT_EQ(SearchReportPath(r, G("分类号=('%H04L12/28%')")), r + "/data/query/" + G("分类号=('%H04L12_28%')") + ".html");
}

TEST(SearchReport, HeadItemsAndRecordPiecesByteForByte) {
  std::tm tm{};
  tm.tm_year = 108;
  tm.tm_mon = 0;
  tm.tm_mday = 6;
  tm.tm_hour = 9;
  tm.tm_min = 5;
  tm.tm_sec = 3;
  tm.tm_isdst = -1;
  std::time_t when = std::mktime(&tm);
  auto head = SearchReportHead(G("名称=(电池) "), when, TPath::FromSystem("/opt/varnolt"));
  ASSERT_EQ(head.size(), 7u);
  EXPECT_EQ(head[0], "<html>");
  EXPECT_EQ(head[1], G("<head><title>名称=(电池) --2008-01-06</title>"));
  EXPECT_EQ(head[2], "<link rel=\"stylesheet\" type=\"text/css\" href=\"/opt/varnolt/main.css\" />");
  EXPECT_EQ(head[3], "</head><body>");
  EXPECT_EQ(head[4], G("<h2>检索式：名称=(电池) </h2><h3>检索时间：2008-01-06 09:05:03</h3>"));
  EXPECT_EQ(head[5], "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >");
  EXPECT_EQ(head[6], G("<tr class=\"title\"><td>编号</td> <td>类型</td> <td>申请号</td> <td>名称</td> "
                       "<td>分类</td> <td>法律状态</td> <td>专利权人</td></tr>"));

  SearchRecordCells c{7, G("发明"), "02123456", G("电池<b>"), "H01M2/16", "<font>x</font>", G("王")};
  EXPECT_EQ(SearchRowOpening() + SearchRowCells(c),
            G("<tr class=\"detail\">\r\n\t<td>7</td>\r\n\t<td>发明</td>\r\n\t<td>02123456</td>"
              "\t<td class=\"doctitle\">电池<b></td>\r\n\t<td>H01M2/16</td>\t<td><font>x</font></td>\r\n"
              "\t<td>王</td>\r\n</tr>"));
  EXPECT_EQ(SearchAbstractRow(G("无")),
            G("\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"6\">摘要:无</td></tr>\r\n"));
  EXPECT_EQ(SearchFirstClaimRow("1."),
            G("\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"6\">首权项:1.</td></tr>\r\n"));
  EXPECT_EQ(SearchDividerRow(), "\t<tr><td colspan=\"7\" class=\"divtd\">&nbsp;</td></tr>\r\n\r\n");
  EXPECT_EQ(SearchReportTail(), (std::vector<std::string>{"</body>", "</html>"}));
}
