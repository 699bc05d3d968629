// A program directory and a data root whose names GBK cannot write, or that are not even
// UTF-8: varnolt-cli finds its settings there and stores its files there, and the records
// index and every cleaning item reach the files by their real names.
#include <gtest/gtest.h>

#include "base/datadir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "shell/cleaning.h"
#include "shell/recordsindex.h"
#include "tests/support/cliprogram.h"
#include "tests/support/pagereaders.h"
#include "tests/support/textcheck.h"

namespace {

struct Names {
  std::string program, root;
  std::string rootShown;  // as the CLI prints it
  std::string rootLink;   // as a page links it
};

TEST(ForeignPaths, SearchDownloadRecordsAndCleaningUseTheRealNames) {
  const std::string emoji = "\xf0\x9f\x98\x80";
  for (const Names& n : {Names{"J\xc3\xb6rg", "数据" + emoji, "数据" + emoji, "\xca\xfd\xbe\xdd%F0%9F%98%80"},
                         Names{"app\xff", "r\xfe", "r\xef\xbf\xbd", "r%FE"}}) {
    SCOPED_TRACE(n.rootShown);
    DemoSite site;
    CliProgram cli(n.program, n.root);
    cli.PointAt(site);  // read from the program directory, or the run would go to the public site

    CliResult search = cli.Run({"search", "--title", "一种电池隔膜"});
    ASSERT_EQ(search.exitCode, 0) << search.err;
    const std::string report = "/data/query/名称=(一种电池隔膜) .html";
    EXPECT_TRUE(FileExists(TPath::FromSystem(cli.data.Bytes() + report)));
    const std::string printed = LastLine(search.out);
    EXPECT_EQ(printed.substr(printed.size() - n.rootShown.size() - report.size()), n.rootShown + report);

    CliResult download = cli.Run({"download", "02123456"});
    ASSERT_EQ(download.exitCode, 0) << download.err;
    EXPECT_EQ(PdfPageCount(TPath::FromSystem(cli.data.Bytes() + "/data/pdf/一种电池隔膜.pdf")), 3);
    const std::string page = ReadFileBytes(cli.data + "/data/temp/index.html");
    EXPECT_NE(page.find(n.rootLink + "/data/pdf/" + Utf8ToGbk("一种电池隔膜.pdf") + "\""), std::string::npos);
    EXPECT_NE(page.find(n.program == "app\xff" ? "app%FF/main.css\"" : "J%C3%B6rg/main.css\""), std::string::npos);

    // A stored file whose name GBK cannot write is listed, linked and cleaned like any other.
    const TPath odd = cli.data.Entry("data").Entry("pdf").Entry(emoji + ".pdf");
    WriteFileBytes(odd, "x");
    const std::string index = ReadFileBytes(recordsindex::Build(cli.data, cli.dir));
    EXPECT_NE(index.find(n.rootLink + "/data/pdf/%F0%9F%98%80.pdf\">&#128512;.pdf</a></li>"), std::string::npos)
        << index;
    EXPECT_NE(index.find(n.rootLink + "/data/query/" + Utf8ToGbk("名称=(一种电池隔膜) .html")), std::string::npos);

    for (datadir::Folder f : {datadir::Folder::Pdf, datadir::Folder::Query, datadir::Folder::Temp}) {
      cleaning::CleanTarget(cleaning::Target(cli.data, f));
      EXPECT_TRUE(DirectoryExists(datadir::FolderPath(cli.data, f)));
      EXPECT_TRUE(ListDirectory(datadir::FolderPath(cli.data, f)).empty());
    }
    cleaning::CleanTarget(cleaning::Target(cli.data, datadir::Folder::Data));
    EXPECT_TRUE(ListDirectory(datadir::FolderPath(cli.data, datadir::Folder::Data)).empty());
  }
}

}  // namespace
