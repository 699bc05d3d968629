// The update worker against the demo site: the version file saved with CR LF lines,
// then the second request; failures leave the earlier file alone.
#include <gtest/gtest.h>

#include <string>

#include "base/appdir.h"
#include "base/files.h"
#include "shell/updateworker.h"
#include "shell/versionfile.h"
#include "tests/support/demosite.h"

namespace {

class UpdateWorker : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectoryForTesting(dir_.Path()); }
  void TearDown() override { SetProgramDirectoryForTesting(TPath()); }
  TempDir dir_;
};

// GBK "发现新版本，是否现在下载？", the demo site's question.
const std::string kQuestion =
    "\xb7\xa2\xcf\xd6\xd0\xc2\xb0\xe6\xb1\xbe\xa3\xac\xca\xc7\xb7\xf1\xcf\xd6\xd4\xda\xcf\xc2\xd4\xd8\xa3\xbf";

TEST_F(UpdateWorker, SavesTheVersionFileWithCrLfThenMakesTheSecondRequest) {
  DemoSite site({"--update-ver", "20090101"}, true);
  new checkupdate();
  ASSERT_TRUE(checkupdate::WaitForAll(30000));
  EXPECT_EQ(ReadFileBytes(dir_.File("config.ini")),
            "[update]\r\nver=20090101\r\nurl=http://" + site.Address() + "/\r\nmsg=" + kQuestion + "\r\n");
  auto log = site.Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].method + " " + log[0].target, "GET /trevisk/version.txt");
  EXPECT_EQ(log[1].method + " " + log[1].target, "GET /trevisk.asp");
  EXPECT_EQ(ListDirectory(dir_.Path()).size(), 1u) << "only config.ini, no temporary file";

  versionfile::UpdateInfo info = versionfile::ReadUpdateInfo(versionfile::ConfigPath());
  EXPECT_TRUE(versionfile::IsNewer(info, versionfile::kProgramVersion));
  EXPECT_EQ(info.msg, kQuestion);
}

TEST_F(UpdateWorker, FailedFetchKeepsTheEarlierFile) {
  WriteFileBytes(dir_.File("config.ini"), "[update]\r\nver=1\r\n");
  {
    DemoSite site({"--fail", "version.txt"});
    new checkupdate();
    ASSERT_TRUE(checkupdate::WaitForAll(30000));
  }
  EXPECT_EQ(ReadFileBytes(dir_.File("config.ini")), "[update]\r\nver=1\r\n");
  // Nobody listening at all: the same.
  checkupdate::fetchfile("http://127.0.0.1:9/trevisk/version.txt", "config.ini");
  EXPECT_EQ(ReadFileBytes(dir_.File("config.ini")), "[update]\r\nver=1\r\n");
  EXPECT_EQ(ListDirectory(dir_.Path()).size(), 1u);
}

}  // namespace
