#include "download/downreport.h"

#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "download/pages.h"
#include "search/siteops.h"

namespace {

std::string Formatted(std::time_t when, const char* format) {
  std::tm local{};
  localtime_r(&when, &local);
  char buf[64];
  size_t n = std::strftime(buf, sizeof buf, format, &local);
  return std::string(buf, n);
}

}  // namespace

std::vector<std::string> DownloadReportHead(const TPath& programDir, std::time_t now) {
  // Fixed equivalents of a short date and a long time, independent of the locale.
  const std::string date = Formatted(now, "%Y-%m-%d");
  const std::string dateTime = date + " " + Formatted(now, "%H:%M:%S");
  return {
      "<html>",
      "<head><title>" + date + "</title>",
      datadir::StylesheetLine(programDir),
      "</head><body>",
      "<h3>\xbc\xec\xcb\xf7\xca\xb1\xbc\xe4\xa3\xba" + dateTime + "</h3>",  // 检索时间：
      "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" >",
      // 编号 类型 申请号 名称 分类 PDF文件
      "<tr class=\"title\"><td>\xb1\xe0\xba\xc5</td> <td>\xc0\xe0\xd0\xcd</td> "
      "<td>\xc9\xea\xc7\xeb\xba\xc5</td> <td>\xc3\xfb\xb3\xc6</td> <td>\xb7\xd6\xc0\xe0</td> "
      "<td>PDF\xce\xc4\xbc\xfe</td></tr>",
  };
}

void AppendDownloadReportRow(std::vector<std::string>& lines, int position, const std::string& number,
                             const std::string& title, const std::string& classification, const TPath& pdf) {
  lines.push_back("<tr class=\"detail\">");
  lines.push_back("<td>" + std::to_string(position) + "</td>");
  lines.push_back("<td>" + TypeNameOf(number) + "</td>");
  lines.push_back("<td>" + number + "</td>");
  lines.push_back("<td>" + title + "</td>");
  lines.push_back("<td>" + classification + "</td>");
  // The "s after the closing quote is the page's own spelling; browsers ignore it.
  lines.push_back("<td><a href=\"" + datadir::LinkTarget(pdf) + "\"s>\xb2\xe9\xbf\xb4</a></td>");  // 查看
  lines.push_back("</tr>");
}

void AppendDownloadReportTail(std::vector<std::string>& lines) {
  lines.push_back("</body>");
  lines.push_back("</html>");
}

TPath DownloadReportPath(const TPath& root) {
  return datadir::FolderPath(root, datadir::Folder::Temp) + "/index.html";
}

void SaveDownloadReport(const TPath& root, const std::vector<std::string>& lines) {
  datadir::EnsureFolder(root, datadir::Folder::Temp);
  WriteTextLines(DownloadReportPath(root), lines);
}
