#include <gtest/gtest.h>

#include <string>

#include "base/appdir.h"
#include "base/errors.h"
#include "base/files.h"
#include "shell/versionfile.h"
#include "tests/support/tempdir.h"

namespace {

class UpdateCheck : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectoryForTesting(dir_); }
  void TearDown() override { SetProgramDirectoryForTesting(TPath()); }
  versionfile::UpdateInfo Read(const std::string& ini) {
    WriteFileBytes(versionfile::ConfigPath(), ini);
    return versionfile::ReadUpdateInfo(versionfile::ConfigPath());
  }
  TempDir temp_;
  const TPath dir_ = temp_.Path();
};

TEST_F(UpdateCheck, OnlyAStrictlyGreaterVersionIsNewer) {
  const int v = versionfile::kProgramVersion;
  EXPECT_FALSE(versionfile::IsNewer(Read("[update]\r\nver=20080106\r\n"), v));
  EXPECT_TRUE(versionfile::IsNewer(Read("[update]\r\nver=20080107\r\n"), v));
  EXPECT_FALSE(versionfile::IsNewer(Read("[update]\r\nver=-5\r\n"), v));
}

TEST_F(UpdateCheck, HexadecimalAndUnreadableVersions) {
  // 0x1326E7B = 20082299 is newer than 20080106; 0x13261A0 = 20079008 is older.
  EXPECT_EQ(Read("[update]\r\nver=0x1326E7B\r\n").ver, 20082299);
  EXPECT_TRUE(versionfile::IsNewer(Read("[UPDATE]\r\nVER=0X1326e7b\r\n"), versionfile::kProgramVersion));
  EXPECT_FALSE(versionfile::IsNewer(Read("[update]\r\nver=0x13261A0\r\n"), versionfile::kProgramVersion));
  EXPECT_EQ(Read("[update]\r\nver=2008x\r\n").ver, 0);
  EXPECT_EQ(Read("[update]\r\nver=99999999999\r\n").ver, 0);
}

TEST_F(UpdateCheck, MissingFileOrKeysReadAsDefaults) {
  versionfile::UpdateInfo none = versionfile::ReadUpdateInfo(dir_ + "/absent.ini");
  EXPECT_EQ(none.ver, 0);
  EXPECT_EQ(none.url, "");
  EXPECT_EQ(none.msg, "");
  versionfile::UpdateInfo info = Read("[update]\r\nver=20090101\r\nmsg= new! \r\n");
  EXPECT_EQ(info.msg, "new!");
  EXPECT_EQ(info.url, "");
}

TEST_F(UpdateCheck, SavedBodyHasCrLfLinesAndNoTemporaryLeft) {
  const TPath target = dir_ + "/config.ini";
  versionfile::SaveFetchedText("[update]\nver=1\rmsg=x\r\nurl=y", target);
  EXPECT_EQ(ReadFileBytes(target), "[update]\r\nver=1\r\nmsg=x\r\nurl=y\r\n");
  versionfile::SaveFetchedText("", target);
  EXPECT_EQ(ReadFileBytes(target), "");
  EXPECT_EQ(ListDirectory(dir_).size(), 1u);
}

TEST_F(UpdateCheck, FailedSaveKeepsTheEarlierFile) {
  const TPath target = dir_ + "/config.ini";
  WriteFileBytes(target, "old");
  EXPECT_THROW(versionfile::SaveFetchedText("new", dir_ + "/missing/config.ini"), EFileError);
  ASSERT_TRUE(CreateDir(dir_ + "/blocked"));
  // A directory in the way of the rename.
  EXPECT_THROW(versionfile::SaveFetchedText("new", dir_ + "/blocked"), EFileError);
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_EQ(ListDirectory(dir_).size(), 2u) << "no temporary file left behind";
}

TEST(UpdateAddresses, OnlyWebAddressesGoToTheSystem) {
  EXPECT_TRUE(versionfile::IsWebAddress("http://x/new.exe"));
  EXPECT_TRUE(versionfile::IsWebAddress("HTTPS://x/"));
  EXPECT_FALSE(versionfile::IsWebAddress("file:///bin/sh"));
  EXPECT_FALSE(versionfile::IsWebAddress("javascript:alert(1)"));
  EXPECT_FALSE(versionfile::IsWebAddress(""));
}

}  // namespace
