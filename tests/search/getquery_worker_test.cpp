#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/appdir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/handover.h"
#include "search/getquery.h"
#include "base/datadir.h"
#include "tests/http/scriptserver.h"
#include "tests/support/demosite.h"
#include "tests/support/textcheck.h"

namespace {

std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

// The text after the time and the tab; the end line has neither.
std::string TextOf(const std::string& line) {
  size_t tab = line.find('\t');
  return tab == std::string::npos ? line : line.substr(tab + 1);
}

std::vector<std::string> Texts(const DirectHandOver& h) {
  std::vector<std::string> texts;
  for (const std::string& l : h.Lines()) texts.push_back(TextOf(l));
  return texts;
}

struct Options {
  bool legal = false, abs = false, claim = false, patentee = false;
};

class SearchWorker : public ::testing::Test {
 protected:
  void SetUp() override { datadir::SetRoot(root_.Path()); }
  void TearDown() override { datadir::SetRoot(TPath()); }

  // Runs one search to its end (the worker object gone) and keeps what it handed over.
  void RunSearch(const std::string& query, Options o = {}) {
    new getquery(&handOver_, query, o.legal, o.abs, o.claim, o.patentee);
    handOver_.WaitForEnd();
    getquery::WaitAllDone();
  }

  std::string ReportOf(const std::string& query) { return ReadFileBytes(SearchReportPath(root_.Path(), query)); }

  TempDir root_;
  DirectHandOver handOver_;
};

const std::string kTitleBattery = Utf8ToGbk("名称=(电池) ");

}  // namespace

TEST_F(SearchWorker, KnownSearchWithEveryOptionWritesTheReport) {
  DemoSite site;
  const std::string query = G("名称=(一种电池隔膜) ");
  RunSearch(query, {true, true, true, true});
  auto texts = Texts(handOver_);
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0], G("开始检索,请稍候..."));
  EXPECT_EQ(texts[1], G("**共检索到34条匹配记录**"));
  EXPECT_EQ(texts[2], G("开处理第1条记录"));
  EXPECT_EQ(texts.back(), G("处理完毕！"));
  EXPECT_EQ(handOver_.Lines().back(), G("处理完毕！"));  // no time, no tab
  EXPECT_EQ(texts.size(), 2u + 34u + 1u);
  EXPECT_EQ(handOver_.FinishCount(), 1);
  EXPECT_EQ(handOver_.StartBackCount(), 0);
  // Every other line carries the time of day and a tab.
  EXPECT_EQ(handOver_.Lines()[0].find('\t'), 8u);

  const std::string report = ReportOf(query);
  EXPECT_EQ(report.rfind("<html>\r\n<head><title>" + query + "--", 0), 0u);
  EXPECT_NE(report.find("href=\"" + ProgramDirectory().Bytes() + "/main.css\" />"), std::string::npos);
  const std::string firstRecord =
      G("<tr class=\"detail\">\r\n\t<td>1</td>\r\n\t<td>发明</td>\r\n\t<td>02123456</td>"
        "\t<td class=\"doctitle\">一种电池隔膜</td>\r\n\t<td>H01M2/16</td>"
        "\t<td><font color=\"#FF0000\">专利权的终止</font><br>未缴年费专利权终止</td>\r\n"
        "\t<td>王芳</td>\r\n</tr>\t<tr class=\"detail\"><td>&nbsp;</td><td colspan=\"6\">摘要:本发明公开了一种电池隔膜");
  EXPECT_NE(report.find(firstRecord), std::string::npos);
  EXPECT_NE(report.find(G("<td colspan=\"6\">首权项:1．一种电池隔膜")), std::string::npos);
  EXPECT_EQ(Count(report, "class=\"divtd\""), 34);
  const std::string tail = "</tr>\r\n\r\n\r\n</body>\r\n</html>\r\n";  // rows end with a blank line
  ASSERT_GT(report.size(), tail.size());
  EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
}

TEST_F(SearchWorker, CountOfZeroEndsWithTwoLinesAndNoFile) {
  DemoSite site;
  const std::string query = G("名称=(不存在的名称甲乙丙) ");
  RunSearch(query, {true, true, true, true});
  EXPECT_EQ(Texts(handOver_), (std::vector<std::string>{G("开始检索,请稍候..."), G("**没有检索到匹配记录**")}));
  EXPECT_EQ(handOver_.FinishCount(), 0);
  EXPECT_EQ(handOver_.StartBackCount(), 1);
  EXPECT_FALSE(FileExists(SearchReportPath(root_.Path(), query)));
  EXPECT_FALSE(DirectoryExists(root_.Path() + "/data"));
}

TEST_F(SearchWorker, OverAHundredTakesOnlyTheFirstPageAndNoOptionMakesNoFurtherRequest) {
  DemoSite site({}, true);
  RunSearch(kTitleBattery);
  auto texts = Texts(handOver_);
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[1], G("**共检索到238条匹配记录,程序仅返回100条记录信息，请缩小检索范围**"));
  EXPECT_EQ(texts.size(), 2u + 100u + 1u);
  EXPECT_EQ(texts[101], G("开处理第100条记录"));
  auto log = site.Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].method, "POST");
  const std::string report = ReportOf(kTitleBattery);
  EXPECT_EQ(Count(report, G("<td>未检索</td>")), 200);
  EXPECT_EQ(Count(report, G("摘要:")), 0);
  EXPECT_EQ(Count(report, G("首权项:")), 0);
}

TEST_F(SearchWorker, PatenteeAloneFetchesDetailPagesButNoLegalStatus) {
  DemoSite site({}, true);
  const std::string query = G("名称=(一种电池隔膜) ");
  RunSearch(query, {false, false, false, true});
  int details = 0, legal = 0;
  for (const auto& e : site.Log()) {
    if (e.method == "GET" && e.target.find("recid=") != std::string::npos) ++details;
    if (e.target.find("FlztResult") != std::string::npos) ++legal;
  }
  EXPECT_EQ(details, 34);
  EXPECT_EQ(legal, 0);
  const std::string report = ReportOf(query);
  EXPECT_EQ(Count(report, G("<td>未检索</td>")), 34);  // the legal-status cells only
  EXPECT_NE(report.find(G("\t<td>王芳</td>\r\n</tr>")), std::string::npos);
}

TEST_F(SearchWorker, NetworkFailureOnTheThirdRecordSavesWhatItHas) {
  // The third hit of the battery search fails its legal-status request.
  DemoSite site({"--fail", "200620164213"});
  RunSearch(kTitleBattery, {true, false, false, false});
  auto texts = Texts(handOver_);
  EXPECT_EQ(std::vector<std::string>(texts.begin() + 2, texts.end()),
            (std::vector<std::string>{G("开处理第1条记录"), G("开处理第2条记录"), G("开处理第3条记录"),
                                      G("意外终止，请检查网络或者稍后再试"), G("处理完毕！")}));
  EXPECT_EQ(handOver_.FinishCount(), 1);
  const std::string report = ReportOf(kTitleBattery);
  EXPECT_EQ(Count(report, "class=\"divtd\""), 2);
  EXPECT_NE(report.find("\r\n\r\n<tr class=\"detail\">\r\n</tr>\r\n</body>\r\n</html>\r\n"), std::string::npos);
}

TEST_F(SearchWorker, ARecordLinkWithLineBreaksFailsItsRecordWithoutReachingTheWire) {
  // One record whose link (twice in its row, as the site writes it) holds a header line.
  const std::string link = "x.jsp?recid=CN02123456.7&leixin=fmzl&title=T\r\nX-Chosen: 1&ipc=H01M&";
  const std::string page = G("共有1条记录") +
                           "<tr onMouseOver=\"this.className='td-over'\" onMouseOut=\"this.className='td-out'\">"
                           "<a href=\"" + link + "\">1</a><a href=\"" + link + "\">T</a></tr>"
                           "<table width=\"772\" border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" "
                           "class=\"table2\">";
  const std::string notFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
  TScriptServer server({{{"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n" + page}},
                        {{notFound}}});
  const SiteHosts before = Hosts();
  SiteHosts hosts = before;
  hosts.SearchHost = "127.0.0.1:" + std::to_string(server.Port());
  SetHosts(hosts);
  RunSearch(kTitleBattery, {false, true, false, false});
  SetHosts(before);
  EXPECT_EQ(Texts(handOver_), (std::vector<std::string>{G("开始检索,请稍候..."), G("**共检索到1条匹配记录**"),
                                                        G("开处理第1条记录"), G("意外终止，请检查网络或者稍后再试"),
                                                        G("处理完毕！")}));
  EXPECT_EQ(handOver_.FinishCount(), 1);
  EXPECT_EQ(server.Connections(), 1) << "only the result list went out";
  EXPECT_NE(ReportOf(kTitleBattery).find("</tr>\r\n</body>"), std::string::npos);
}

TEST_F(SearchWorker, FailedListRequestEndsAfterTheStartLine) {
  DemoSite site({"--fail", "hyjs-jieguo"});
  RunSearch(kTitleBattery);
  EXPECT_EQ(Texts(handOver_), std::vector<std::string>{G("开始检索,请稍候...")});
  EXPECT_EQ(handOver_.StartBackCount(), 1);
  EXPECT_EQ(handOver_.FinishCount(), 0);
  EXPECT_FALSE(FileExists(SearchReportPath(root_.Path(), kTitleBattery)));
}

TEST_F(SearchWorker, ReportThatCannotBeWrittenGivesTheStartButtonBackOnly) {
  DemoSite site;
  WriteFileBytes(root_.File("blocker"), "");
  datadir::SetRoot(root_.File("blocker"));  // a file where the data root should be
  const std::string query = G("名称=(一种电池隔膜) ");
  RunSearch(query);
  auto texts = Texts(handOver_);
  EXPECT_EQ(texts.back(), G("开处理第34条记录"));
  EXPECT_EQ(handOver_.StartBackCount(), 1);
  EXPECT_EQ(handOver_.FinishCount(), 0);
}

TEST_F(SearchWorker, FileNamesKeepTheTrailingBlankAndStayInsideTheQueryFolder) {
  DemoSite site;
  const std::string classQuery = G("分类号=('%H01M2/16%')");
  RunSearch(classQuery);
  EXPECT_EQ(handOver_.FinishCount(), 1);
  auto entries = ListDirectory(root_.Path() + "/data/query");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "分类号=('%H01M2_16%').html");  // the file system's own bytes

  // A second run of one expression replaces the first report.
  const std::string query = G("名称=(一种电池隔膜) ");
  WriteFileBytes(SearchReportPath(root_.Path(), query), "stale");
  DirectHandOver second;
  new getquery(&second, query, false, false, false, false);
  second.WaitForEnd();
  getquery::WaitAllDone();
  EXPECT_EQ(ReportOf(query).rfind("<html>\r\n", 0), 0u);
  EXPECT_TRUE(FileExists(root_.Path() + "/data/query/" + G("名称=(一种电池隔膜) .html")));
}

namespace {
// A hand-over whose finish step waits for the test, like a user who has not answered yet.
class HeldHandOver : public DirectHandOver {
 public:
  void FinishRun() override {
    DirectHandOver::FinishRun();
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait(lock, [this] { return release_; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    release_ = true;
    released_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
};
}  // namespace

TEST_F(SearchWorker, RunLockKeepsASecondRunWaitingUntilTheFirstIsAnswered) {
  DemoSite site;
  const std::string query = G("名称=(一种电池隔膜) ");
  HeldHandOver first;
  DirectHandOver second;
  new getquery(&first, query, false, false, false, false);
  first.WaitForEnd();  // the first run now waits in its finish step, holding the lock
  new getquery(&second, query, false, false, false, false);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(second.Lines().empty());
  first.Release();
  second.WaitForEnd();
  getquery::WaitAllDone();
  EXPECT_EQ(second.FinishCount(), 1);
  EXPECT_EQ(TextOf(second.Lines().front()), G("开始检索,请稍候..."));
}
