// The demo search site as a fixture: its query language, paging, pages, images, log and
// failure hooks, checked over raw HTTP so the checks do not depend on the program's client.
#include <gtest/gtest.h>

#include <tiffio.h>

#include <fstream>
#include <set>
#include <thread>

#include "base/files.h"
#include "base/gbk.h"
#include "http/httpclient.h"
#include "tests/support/demosite.h"
#include "tests/support/pagereaders.h"

namespace {

std::string G(const std::string& utf8) { return Utf8ToGbk(utf8); }

// The program's form-value encoding: GBK bytes, controls, blank and "#%*<>[]" as %XX.
std::string Encode(const std::string& v) {
  std::string out;
  for (unsigned char c : v) {
    if (c <= 0x20 || c >= 0x81 || std::string("#%*<>[]").find(char(c)) != std::string::npos) {
      char buf[4];
      snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += char(c);
    }
  }
  return out;
}

const std::string kRowMarker =
    "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">";
const std::string kTableMarker =
    "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" class=\"table2\">";

std::string Between(const std::string& s, const std::string& from, const std::string& to) {
  size_t a = s.find(from);
  if (a == std::string::npos) return "";
  a += from.size();
  size_t b = s.find(to, a);
  return b == std::string::npos ? "" : s.substr(a, b - a);
}

struct ListPage {
  int count = -1;
  std::vector<std::string> rows;  // each from its row marker to its "</tr>"
  std::string page;
};

ListPage PostList(const DemoSite& site, const std::string& searchwordGbk, int recshu = 100, int pg = 1) {
  std::string body = "recshu=" + std::to_string(recshu) + "&searchword=" + Encode(searchwordGbk) +
                     "&selectbase=0&flag3=1&sign=0&pg=" + std::to_string(pg);
  RawReply r = site.RawRequest("POST", "/sipo/zljs/hyjs-jieguo.jsp", body);
  EXPECT_EQ(r.status, 200);
  ListPage lp;
  lp.page = r.body;
  std::string count = Between(r.body, G("共有"), G("条记录"));
  if (!count.empty()) lp.count = std::stoi(count);
  for (size_t p = r.body.find(kRowMarker); p != std::string::npos; p = r.body.find(kRowMarker, p + 1))
    lp.rows.push_back(r.body.substr(p, r.body.find("</tr>", p) + 5 - p));
  return lp;
}

std::vector<std::string> Hrefs(const std::string& row) {
  std::vector<std::string> links;
  for (size_t p = row.find("href=\""); p != std::string::npos; p = row.find("href=\"", p + 1)) {
    size_t start = p + 6;
    links.push_back(row.substr(start, row.find('"', start) - start));
  }
  return links;
}


class DemoSiteTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new DemoSite({}, true); }
  static void TearDownTestSuite() { delete site_; }
  static DemoSite* site_;
};
DemoSite* DemoSiteTest::site_ = nullptr;

TEST_F(DemoSiteTest, TitleSearchCountsRowsAndLinksEveryRecordTwice) {
  ListPage lp = PostList(*site_, G("名称=(电池) "));
  ASSERT_GT(lp.count, 100);
  ASSERT_EQ(lp.rows.size(), 100u);
  EXPECT_NE(lp.page.find(kTableMarker, lp.page.rfind(kRowMarker)), std::string::npos);
  for (const std::string& row : lp.rows) {
    std::vector<std::string> links = Hrefs(row);
    ASSERT_EQ(links.size(), 2u) << row;
    EXPECT_EQ(links[0], links[1]);
    std::string title = Between(links[0], "&title=", "&ipc=");
    EXPECT_NE(title.find(G("电池")), std::string::npos) << links[0];
    // The link ends one byte after the classification: the byte the program's cut drops.
    EXPECT_EQ(links[0].back(), '&');
    EXPECT_NE(row.find(">" + title + "</a>"), std::string::npos);
  }
}

TEST_F(DemoSiteTest, PagingSplitsTheHitsWithoutGapsOrOverlap) {
  int count = PostList(*site_, G("名称=(电池) "), 1).count;
  std::set<std::string> seen;
  int pages = (count + 49) / 50;
  for (int pg = 1; pg <= pages; ++pg) {
    ListPage lp = PostList(*site_, G("名称=(电池) "), 50, pg);
    EXPECT_EQ(lp.count, count);
    EXPECT_EQ(int(lp.rows.size()), pg < pages ? 50 : count - 50 * (pages - 1));
    for (const std::string& row : lp.rows) seen.insert(Hrefs(row).at(0));
  }
  EXPECT_EQ(int(seen.size()), count);
  EXPECT_TRUE(PostList(*site_, G("名称=(电池) "), 50, pages + 1).rows.empty());
}

TEST_F(DemoSiteTest, QueryLanguageAsTheDialogAndTheDownloadWriteIt) {
  // The download's number lookup, trailing blank included, finds exactly that record.
  ListPage one = PostList(*site_, G("申请号=('CN%02123456%') "), 1);
  EXPECT_EQ(one.count, 1);
  ASSERT_EQ(one.rows.size(), 1u);
  EXPECT_NE(Hrefs(one.rows[0]).at(0).find("recid=CN02123456.6&leixin="), std::string::npos);
  EXPECT_EQ(PostList(*site_, G("申请号=('CN%200510012345%') ")).count, 1);
  EXPECT_EQ(PostList(*site_, G("申请号=('CN%99999999%') ")).count, 0);

  // Classification: a LIKE pattern, so '%H01M10%' is a subset of '%H01M%'.
  ListPage h01m = PostList(*site_, G("分类号=('%H01M%')"), 1000);
  ListPage h01m10 = PostList(*site_, G("分类号=('%H01M10%')"), 1000);
  EXPECT_GT(h01m10.count, 0);
  EXPECT_GT(h01m.count, h01m10.count);
  for (const std::string& row : h01m.rows) EXPECT_NE(Between(row, "&ipc=", "\"").find("H01M"), std::string::npos);

  // Terms joined by "and" narrow the hits; the dialog's "(A)and" form reads the same.
  int title = PostList(*site_, G("名称=(电池) "), 1).count;
  int both = PostList(*site_, G("名称=(电池) and 摘要=(结构简单) "), 1).count;
  EXPECT_GT(both, 0);
  EXPECT_LT(both, title);
  int absClass = PostList(*site_, G("摘要=(结构简单) and 分类号=('%H01M%') "), 1).count;
  EXPECT_GT(absClass, 0);
  EXPECT_EQ(PostList(*site_, G("摘要=(结构简单)and 分类号=('%H01M%') "), 1).count, absClass);
  EXPECT_EQ(PostList(*site_, G("名称=(电池) and 摘要=(结构简单) and 分类号=('%H01M%') "), 1).count,
            PostList(*site_, G("名称=(电池) and 分类号=('%H01M%') and 摘要=(结构简单)"), 1).count);
}

TEST_F(DemoSiteTest, UnreadableQueryFindsNothingButKeepsThePageShape) {
  for (std::string q : {std::string(""), G("名称=(电池"), G("作者=(张)"), G("名称=(电池) xor 摘要=(a)")}) {
    ListPage lp = PostList(*site_, q);
    EXPECT_EQ(lp.count, 0) << q;
    EXPECT_TRUE(lp.rows.empty());
    EXPECT_NE(lp.page.find(kTableMarker), std::string::npos);
  }
}

TEST_F(DemoSiteTest, DetailPagesAnswerRawGbkTargets) {
  ListPage lp = PostList(*site_, G("申请号=('CN%200510012345%') "), 1);
  ASSERT_EQ(lp.rows.size(), 1u);
  std::string link = Hrefs(lp.rows[0]).at(0);
  ASSERT_NE(link.find(G("锂离子电池")), std::string::npos);  // raw GBK in the target
  RawReply r = site_->RawRequest("GET", "/sipo/zljs/" + link);
  ASSERT_EQ(r.status, 200);
  const std::string zi = "<td align=\"left\" class=\"zi_zw\">&nbsp;";
  size_t first = r.body.find(zi);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(r.body.find(zi, first + 1), std::string::npos);
  std::string kuang1 = "<td align=\"center\" bgcolor=\"#f4f3f3\" class=\"kuang1\">" + G("申请(专利权)人： ") + "</td>";
  ASSERT_EQ(kuang1.size(), 74u);
  EXPECT_FALSE(Between(r.body, kuang1 + "<td colspan=\"3\" class=\"kuang2\">&nbsp;", "</td>").empty());
  // A granted invention lists its publication first and the document to download second.
  std::vector<std::string> calls;
  const std::string call = "onclick=javascript:browsetif(";
  for (size_t p = r.body.find(call); p != std::string::npos; p = r.body.find(call, p + 1))
    calls.push_back(r.body.substr(p + call.size(), r.body.find(')', p) - p - call.size()));
  ASSERT_EQ(calls.size(), 2u);
  std::string books = "','http://" + site_->Address() + "/books/200510012345/";
  EXPECT_EQ(calls[0].rfind("'CN200510012345','", 0), 0u);
  EXPECT_NE(calls[0].find(books + "2/000001.tif'"), std::string::npos);
  EXPECT_EQ(calls[1], "'CN200510012345','12" + books + "1/000001.tif'");
}

TEST_F(DemoSiteTest, DesignDetailUsesTheDesignPatenteeCell) {
  RawReply r = site_->RawRequest("GET", "/sipo/zljs/hyjs-yx-new.jsp?recid=CN200630012345.7&leixin=wgsj");
  ASSERT_EQ(r.status, 200);
  std::string marker = G("【申请（专利权）人】&nbsp;");
  ASSERT_EQ(marker.size(), 26u);
  EXPECT_FALSE(Between(r.body, marker, "</td>").empty());
  EXPECT_EQ(r.body.find("class=\"zi_zw\""), std::string::npos);
  EXPECT_NE(r.body.find("onclick=javascript:browsetif('CN200630012345','2',"), std::string::npos);
  EXPECT_EQ(site_->RawRequest("GET", "/sipo/zljs/x.jsp?recid=CN11111111.1").status, 404);
}

TEST_F(DemoSiteTest, LegalStatusByEitherField) {
  std::string marker = "<td align=left colspan=\"4\"  >";
  std::string body = "textfield1=02123456&textfield4=&textfield5=&submit1=" + Encode(G("确定")) +
                     "&searchword=" + Encode(G("申请号=02123456%"));
  RawReply r = site_->RawRequest("POST", "/sipo/zljs/FlztResult.jsp", body);
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(Between(r.body, marker, "<"), "");  // this status starts with markup
  EXPECT_NE(Between(r.body, marker, "</td>").find("<br>"), std::string::npos);
  RawReply bySearchword = site_->RawRequest("POST", "/sipo/zljs/FlztResult.jsp",
                                            "textfield1=&searchword=" + Encode(G("申请号=02123456%")));
  EXPECT_EQ(Between(bySearchword.body, marker, "</td>"), Between(r.body, marker, "</td>"));
  RawReply unknown = site_->RawRequest("POST", "/sipo/zljs/FlztResult.jsp", "textfield1=11111111");
  EXPECT_EQ(unknown.body.find(marker), std::string::npos);
}

TEST_F(DemoSiteTest, PageImagesCarryRecordAndPage) {
  TempDir dir;
  for (int page : {1, 12}) {
    char name[16];
    snprintf(name, sizeof name, "%06d.tif", page);
    RawReply r = site_->RawRequest("GET", std::string("/books/200510012345/1/") + name);
    ASSERT_EQ(r.status, 200);
    EXPECT_NE(r.headers.find("Content-Type: image/tiff"), std::string::npos);
    std::ofstream(dir.File(name).Bytes(), std::ios::binary) << r.body;
    auto mark = ReadTiffPageMark(dir.File(name));
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(mark->number, "200510012345");
    EXPECT_EQ(mark->page, page);
    EXPECT_EQ(mark->pages, 12);
    EXPECT_EQ(mark->document, 1);
  }
  EXPECT_EQ(site_->RawRequest("GET", "/books/200510012345/1/000013.tif").status, 404);
  EXPECT_EQ(site_->RawRequest("GET", "/books/200510012345/1/000000.tif").status, 404);
  EXPECT_EQ(site_->RawRequest("GET", "/books/02123456/2/000001.tif").status, 404);  // no publication
  // The image cookie is handed out once; a client that sends it back gets no new one.
  EXPECT_NE(site_->RawRequest("GET", "/books/02123456/1/000001.tif").headers.find("Set-Cookie: tifsession="),
            std::string::npos);
  EXPECT_EQ(site_->RawRequest("GET", "/books/02123456/1/000001.tif", "", "Cookie: tifsession=7\r\n")
                .headers.find("Set-Cookie"),
            std::string::npos);
}

TEST_F(DemoSiteTest, MakerAndLookupPages) {
  RawReply v = site_->RawRequest("GET", "/trevisk/version.txt");
  ASSERT_EQ(v.status, 200);
  EXPECT_EQ(v.body.find('\r'), std::string::npos);
  EXPECT_EQ(v.body.rfind("[update]\nver=20080106\nurl=http://" + site_->Address() + "/\nmsg=", 0), 0u);
  EXPECT_EQ(site_->RawRequest("GET", "/trevisk.asp").status, 200);
  EXPECT_EQ(site_->RawRequest("GET", "/").status, 200);
  RawReply dict = site_->RawRequest("GET", "/mini.php?q=%B5%E7%B3%D8&x=1");
  EXPECT_NE(dict.body.find("<p id=\"q\">" + G("电池") + "</p>"), std::string::npos);
  RawReply web = site_->RawRequest("GET", "/custom?q=a%3Cb&sa=%CB%D1%CB%F7");
  EXPECT_NE(web.body.find("<p id=\"q\">a&lt;b</p>"), std::string::npos);
  EXPECT_EQ(site_->RawRequest("GET", "/nothing-here").status, 404);
}

TEST_F(DemoSiteTest, LogNumbersConnectionsAndShowsCookies) {
  size_t before = site_->Log().size();
  site_->RawRequest("GET", "/trevisk.asp", "", "Cookie: a=1; b=2\r\n");
  site_->RawRequest("GET", "/trevisk.asp");
  std::vector<DemoLogEntry> log = site_->Log();
  ASSERT_EQ(log.size(), before + 2);
  EXPECT_EQ(log[before].method, "GET");
  EXPECT_EQ(log[before].target, "/trevisk.asp");
  EXPECT_EQ(log[before].cookie, "a=1; b=2");
  EXPECT_EQ(log[before + 1].cookie, "");
  EXPECT_NE(log[before].connection, log[before + 1].connection);
}

TEST_F(DemoSiteTest, ServesSeveralClientsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> counts(6, -1);
  for (int i = 0; i < 6; ++i)
    threads.emplace_back([&, i] { counts[i] = PostList(*site_, G("名称=(电池) "), 100).count; });
  for (auto& t : threads) t.join();
  for (int c : counts) EXPECT_EQ(c, counts[0]);
  EXPECT_GT(counts[0], 100);
}

TEST(DemoSiteHooks, FailAndDropHitOnlyMatchingRequests) {
  DemoSite site({"--fail", "recid=CN02123456", "--drop", "02123456/1/000002.tif", "--update-ver", "20090101"});
  EXPECT_EQ(site.RawRequest("GET", "/sipo/zljs/x.jsp?recid=CN02123456.6").status, 500);
  EXPECT_EQ(site.RawRequest("GET", "/sipo/zljs/x.jsp?recid=CN200510012345.X").status, 200);
  EXPECT_EQ(site.RawRequest("GET", "/books/02123456/1/000001.tif").status, 200);
  RawReply dropped = site.RawRequest("GET", "/books/02123456/1/000002.tif");
  EXPECT_EQ(dropped.status, 200);
  EXPECT_NE(dropped.headers.find("chunked"), std::string::npos);
  EXPECT_EQ(dropped.body, "");
  EXPECT_NE(site.RawRequest("GET", "/trevisk/version.txt").body.find("ver=20090101\n"), std::string::npos);
  EXPECT_EQ(Hosts().SearchHost, site.Address());
  TempDir dir;
  site.WriteHostsIni(dir.File("hosts.ini"));
  SiteHosts written = ReadSiteHosts(dir.File("hosts.ini"));
  EXPECT_EQ(written.SearchHost, site.Address());
  EXPECT_EQ(written.OfficeWIPO, site.Address());
}

// Each page shows its part of the document as a scan at 300 dpi would, and the site says
// what it drew, for the OCR checks.
TEST_F(DemoSiteTest, PagesShowTheRecordsTextsInTheirSections) {
  TempDir dir;
  WriteFileBytes(dir.File("p1.tif"), site_->RawRequest("GET", "/books/200510012345/1/000001.tif").body);
  TIFFSetWarningHandler(nullptr);
  TIFF* tif = TIFFOpen(dir.File("p1.tif").c_str(), "r");
  ASSERT_NE(tif, nullptr);
  uint32_t w = 0, h = 0;
  float dpi = 0;
  uint16_t bits = 0, compression = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(tif, TIFFTAG_XRESOLUTION, &dpi);
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  TIFFClose(tif);
  EXPECT_EQ(w, 2550u);
  EXPECT_EQ(h, 3300u);
  EXPECT_EQ(dpi, 300.0f);
  EXPECT_EQ(bits, 1);
  EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);

  auto text = [&](const std::string& target) {
    RawReply r = site_->RawRequest("GET", target);
    EXPECT_EQ(r.status, 200) << target;
    return GbkToUtf8(r.body);
  };
  const std::string front = text("/books/200510012345/1/000001.txt");
  EXPECT_NE(front.find("(54)发明名称 一种锂离子电池及其制备方法"), std::string::npos) << front;
  EXPECT_NE(front.find("(21)申请号 200510012345.X"), std::string::npos) << front;
  EXPECT_NE(front.find("(57)摘要\n本发明公开了一种锂离子电池及其制备方法，"), std::string::npos) << front;
  const std::string claims = text("/books/200510012345/1/000002.txt");
  EXPECT_EQ(claims.rfind("权利要求书\n1．一种锂离子电池，其特征在于", 0), 0u) << claims;
  EXPECT_NE(claims.find("\n2．根据权利要求1所述的锂离子电池"), std::string::npos) << claims;
  EXPECT_EQ(text("/books/200510012345/1/000003.txt").rfind("说明书\n一种锂离子电池及其制备方法\n技术领域\n", 0), 0u);
  // A later page of the description says something of its own.
  const std::string later = text("/books/200510012345/1/000004.txt");
  EXPECT_FALSE(later.empty());
  EXPECT_EQ(text("/books/200510012345/1/000003.txt").find(later.substr(0, later.find('\n'))), std::string::npos);
  EXPECT_EQ(text("/books/200510012345/1/000012.txt").rfind("说明书附图\n", 0), 0u);
  EXPECT_EQ(text("/books/200630012345/1/000002.txt").rfind("外观设计图片\n", 0), 0u);
  EXPECT_EQ(text("/books/01900123/1/000001.txt").find("权利要求书"), std::string::npos);  // a page of its own only
  EXPECT_EQ(site_->RawRequest("GET", "/books/200510012345/1/000013.txt").status, 404);
}

}  // namespace

namespace {

// The marks survive what the download does to the pages: tiffcp's tiled merge and
// tiff2pdf, read back per TIFF directory and from a rendered PDF page.
TEST_F(DemoSiteTest, MarksReadBackAfterMergeAndPdf) {
  TempDir dir;
  const TPath merged = dir.File("merged.tif");
  for (int page = 1; page <= 3; ++page) {
    char file[16], target[64];
    snprintf(file, sizeof file, "p%d.tif", page);
    snprintf(target, sizeof target, "/books/03234567/1/%06d.tif", page);
    std::string name = dir.File(file).Bytes();
    std::ofstream(name, std::ios::binary) << site_->RawRequest("GET", target).body;
    std::string cmd = "tiffcp '" + name + "' -a '" + merged.Bytes() + "' -w 210 -l 297 2>/dev/null";
    ASSERT_EQ(system(cmd.c_str()), 0);
  }
  ASSERT_EQ(TiffPageCount(merged), 3);
  for (int i = 0; i < 3; ++i) {
    auto mark = ReadTiffPageMark(merged, i);
    ASSERT_TRUE(mark.has_value()) << i;
    EXPECT_EQ(mark->number, "03234567");
    EXPECT_EQ(mark->page, i + 1);
  }
  EXPECT_FALSE(ReadTiffPageMark(merged, 3).has_value());
  std::string pdf = dir.File("m.pdf").Bytes();
  ASSERT_EQ(system(("tiff2pdf -o '" + pdf + "' '" + merged.Bytes() + "' 2>/dev/null").c_str()), 0);
  ASSERT_EQ(system(("pdftoppm -gray -r 40 -f 2 -l 2 '" + pdf + "' '" + dir.File("r").Bytes() + "'").c_str()), 0);
  auto rendered = ReadPgmPageMark(dir.File("r-2.pgm").Bytes());
  ASSERT_TRUE(rendered.has_value());
  EXPECT_EQ(rendered->number, "03234567");
  EXPECT_EQ(rendered->page, 2);
}

}  // namespace

namespace {

// What the download tests rely on: one client object fetching a record's pages keeps one
// connection, and the image cookie of the first reply travels with every later request.
TEST(DemoSiteWithClient, PagesOnOneKeptConnectionCarryTheCookie) {
  DemoSite site({}, true);
  THttpClient client;
  for (int page = 1; page <= 5; ++page) {
    char url[128];
    snprintf(url, sizeof url, "http://%s/books/03234567/1/%06d.tif", site.Address().c_str(), page);
    TStringStream body;
    client.HttpGetStream(url, body);
    EXPECT_EQ(body.Data().rfind("II*", 0), 0u);
  }
  std::vector<DemoLogEntry> log = site.Log();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].cookie, "");
  for (size_t i = 1; i < log.size(); ++i) {
    EXPECT_EQ(log[i].connection, log[0].connection);
    EXPECT_EQ(log[i].cookie.rfind("tifsession=", 0), 0u) << log[i].cookie;
  }
}

}  // namespace
