// Reading the page list, page file names, the tools' parameter texts and the report rows.
#include <gtest/gtest.h>

#include <regex>

#include "base/files.h"
#include "base/gbk.h"
#include "base/tools.h"
#include "download/downerrors.h"
#include "download/downreport.h"
#include "download/pages.h"
#include "sources/site/siteops.h"
#include "sources/sourceerrors.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

std::string Viewer(const std::string& args) {
  return "<a href=\"#\" onclick=javascript:browsetif(" + args + ")>" + G("全文") + "</a>\r\n";
}

TEST(ReadPageList, ReadsCountAndBaseOfTheOnlyCall) {
  std::string page = "<html><body>" + G("申请号") +
                     Viewer("'CN200510012345','12','http://h:80/books/200510012345/1/000001.tif'") + "</body></html>";
  TPageList list = ReadPageList(page);
  EXPECT_EQ(list.pageCount, 12);
  EXPECT_EQ(list.imageBase, "http://h:80/books/200510012345/1/");
}

TEST(ReadPageList, TakesTheSecondOfTwoCallsAndNeverAThird) {
  std::string two = Viewer("'CN1','4','http://h/b/1/2/000001.tif'") + Viewer("'CN1','9','http://h/b/1/1/000001.tif'");
  TPageList list = ReadPageList(two);
  EXPECT_EQ(list.pageCount, 9);
  EXPECT_EQ(list.imageBase, "http://h/b/1/1/");

  TPageList three = ReadPageList(two + Viewer("'CN1','7','http://h/b/1/3/000001.tif'"));
  EXPECT_EQ(three.pageCount, 9);
  EXPECT_EQ(three.imageBase, "http://h/b/1/1/");
}

TEST(ReadPageList, DoubledQuotesInAQuotedFieldStandForOne) {
  // "1""2" reads as the text 1"2, which is no page count.
  EXPECT_THROW(ReadPageList(Viewer("'CN1', \"1\"\"2\" , \"http://h/000001.tif\"")), EPageListError);
  TPageList list = ReadPageList(Viewer("'CN1','2',\"http://h/a\"\"b/000001.tif\""));
  EXPECT_EQ(list.imageBase, "http://h/a\"b/");
}

TEST(ReadPageList, QuotedFieldsKeepBlanksAndCommas) {
  TPageList list = ReadPageList(Viewer("'CN1' , \"12\",\t\"http://h/a b,c/000001.tif\""));
  EXPECT_EQ(list.pageCount, 12);
  EXPECT_EQ(list.imageBase, "http://h/a b,c/");

  // An unquoted blank splits a field: the address becomes field 4 and field 3 is "x".
  TPageList split = ReadPageList(Viewer("'CN1','3','x http://h/b/000001.tif'"));
  EXPECT_EQ(split.pageCount, 3);
  EXPECT_EQ(split.imageBase, "");
}

TEST(ReadPageList, FailsWithoutMarkerWithFewFieldsOrABadCount) {
  EXPECT_THROW(ReadPageList("<html><body>no viewer here, 1, 2, 3)</body></html>"), EPageListError);
  EXPECT_THROW(ReadPageList(Viewer("'CN1','3'")), EPageListError);
  EXPECT_THROW(ReadPageList("x onclick=javascript:browsetif('CN1','3','http://h/000001.tif'"), EPageListError)
      << "without a closing parenthesis nothing is left to read";
  EXPECT_THROW(ReadPageList(Viewer("'CN1','3a','http://h/b/000001.tif'")), EPageListError);
  EXPECT_THROW(ReadPageList(Viewer("'CN1','','http://h/b/000001.tif'")), EPageListError);
  EXPECT_THROW(ReadPageList(Viewer("'CN1','99999999999','http://h/b/000001.tif'")), EPageListError);
}

TEST(ReadPageList, SignedCountsAndShortAddresses) {
  EXPECT_EQ(ReadPageList(Viewer("'CN1','-2','http://h/b/000001.tif'")).pageCount, -2);
  EXPECT_EQ(ReadPageList(Viewer("'CN1','+0','http://h/b/000001.tif'")).pageCount, 0);
  TPageList shortAddress = ReadPageList(Viewer("'CN1','5','000001.tif'"));
  EXPECT_EQ(shortAddress.pageCount, 5);
  EXPECT_EQ(shortAddress.imageBase, "");
}

TEST(PageFileName, PadsToSixDigitsAndFallsBackToTheFirstPage) {
  EXPECT_EQ(PageFileName(1), "000001.tif");
  EXPECT_EQ(PageFileName(25), "000025.tif");
  EXPECT_EQ(PageFileName(100), "000100.tif");
  EXPECT_EQ(PageFileName(1234), "001234.tif");
  EXPECT_EQ(PageFileName(12345), "012345.tif");
  EXPECT_EQ(PageFileName(123456), "123456.tif");
  EXPECT_EQ(PageFileName(1000000), "000001.tif");
}

TEST(ToolParams, AreTheFixedTextsForOrdinaryPaths) {
  const TPath temp = TPath::FromSystem("/d/rec/data/temp/"), pdf = TPath::FromSystem("/d/rec/data/pdf/");
  EXPECT_EQ(MergeToolParams(temp, 1, "200510012345"),
            "\"/d/rec/data/temp/000001.tif\" -a \"/d/rec/data/temp/200510012345.tif\" -w 210 -l 297");
  // The title is text: it reaches the tool in the file system's encoding.
  EXPECT_EQ(ConvertToolParams(temp + "200510012345.tif", pdf + G("电池.pdf"), "200510012345"),
            "-k \"CN200510012345\" \"/d/rec/data/temp/200510012345.tif\" -o \"/d/rec/data/pdf/电池.pdf\"");
}

TEST(ToolParams, SplitBackIntoTheSamePathsWhateverTheNumberOrTitleHolds) {
  const std::string temp = "/d/te mp\\/data/temp/", pdf = "/d/data/pdf/";
  const std::string number = "12\" -o \"/tmp/x\\";
  const std::string title = "a/b\\\" -o \"/etc/evil\\";
  std::vector<std::string> merge = SplitCommandLine(MergeToolParams(TPath::FromSystem(temp), 3, number));
  EXPECT_EQ(merge, (std::vector<std::string>{temp + "000003.tif", "-a", temp + "12\" -o \"_tmp_x\\.tif", "-w", "210",
                                             "-l", "297"}));
  std::vector<std::string> convert = SplitCommandLine(ConvertToolParams(
      TPath::FromSystem(temp) + MergedImageName(number), TPath::FromSystem(pdf) + FileNameFromText(title, ".pdf"), number));
  EXPECT_EQ(convert, (std::vector<std::string>{"-k", "CN" + number, temp + "12\" -o \"_tmp_x\\.tif", "-o",
                                               pdf + "a_b\\\" -o \"_etc_evil\\.pdf"}));
  // A trailing backslash right before the closing quote stays one backslash.
  EXPECT_EQ(SplitCommandLine(QuoteToolArgument("C:\\dir\\")), std::vector<std::string>{"C:\\dir\\"});
}

TEST(DownloadReport, HeadLinesCarryTheProgramDirectoryAndTheTime) {
  std::vector<std::string> head = DownloadReportHead(TPath::FromSystem("/opt/varnolt"), 0);
  ASSERT_EQ(head.size(), 7u);
  EXPECT_EQ(head[0], "<html>");
  EXPECT_TRUE(std::regex_match(head[1], std::regex("<head><title>\\d{4}-\\d{2}-\\d{2}</title>"))) << head[1];
  EXPECT_EQ(head[2], "<link rel=\"stylesheet\" type=\"text/css\" href=\"/opt/varnolt/main.css\" />");
  EXPECT_EQ(head[3], "</head><body>");
  const std::string h3 = G("<h3>检索时间：");
  ASSERT_EQ(head[4].substr(0, h3.size()), h3);
  EXPECT_TRUE(std::regex_match(head[4].substr(h3.size()), std::regex("\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}</h3>")));
  EXPECT_EQ(head[4].substr(h3.size(), 10), head[1].substr(13, 10)) << "one date in title and heading";
  EXPECT_EQ(head[5], "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >");
  EXPECT_EQ(head[6], G("<tr class=\"title\"><td>编号</td> <td>类型</td> <td>申请号</td> <td>名称</td> "
                       "<td>分类</td> <td>PDF文件</td></tr>"));
}

TEST(DownloadReport, RowWritesValuesUnescapedButEscapesTheLinkTarget) {
  std::vector<std::string> lines;
  const std::string title = G("电池<b>&amp;") + "50%#1?";
  AppendDownloadReportRow(lines, 3, "1234567", title, "H01M2/16",
                          TPath::FromSystem("/r/data/pdf/") + FileNameFromText(title, ".pdf"));
  AppendDownloadReportTail(lines);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "<tr class=\"detail\">", "<td>3</td>", G("<td>未知</td>"), "<td>1234567</td>",
                       "<td>" + title + "</td>", "<td>H01M2/16</td>",
                       "<td><a href=\"/r/data/pdf/" + G("电池<b>&amp;") + "50%25%231%3F.pdf\"s>" + G("查看") + "</a></td>",
                       "</tr>", "</body>", "</html>"}));

  // A title with "/" names a file inside the PDF directory.
  EXPECT_EQ(FileNameFromText("a/b", ".pdf"), "a_b.pdf");
  EXPECT_EQ(FileNameFromText("..", ".pdf"), "...pdf");
}

}  // namespace
