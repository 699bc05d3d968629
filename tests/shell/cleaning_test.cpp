#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/datadir.h"
#include "base/files.h"
#include "shell/cleaning.h"
#include "tests/support/tempdir.h"

namespace {

class Cleaning : public ::testing::Test {
 protected:
  void Touch(const std::string& rel) { WriteFileBytes(root_ + rel, "x"); }
  TempDir dir_;
  const TPath root_ = dir_.Path();
};

TEST_F(Cleaning, NestedTreeGoesAndTheTargetStays) {
  ASSERT_TRUE(ForceDirectories(root_ + "/data/query/a/b/c"));
  ASSERT_TRUE(ForceDirectories(root_ + "/data/pdf"));
  ASSERT_TRUE(ForceDirectories(root_ + "/data/temp"));
  Touch("/data/index.html");
  Touch("/data/query/a/b/c/deep.html");
  Touch("/data/query/a/one.html");
  Touch("/data/pdf/x.pdf");
  Touch("/data/temp/.hidden");
  EXPECT_EQ(cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Data)), 0u);
  EXPECT_TRUE(DirectoryExists(root_ + "/data"));
  EXPECT_TRUE(ListDirectory(root_ + "/data").empty());
}

TEST_F(Cleaning, EachTargetTouchesOnlyItsOwnFolder) {
  for (const char* dir : {"/data/query", "/data/pdf", "/data/temp"}) {
    ASSERT_TRUE(ForceDirectories(root_ + dir + "/sub"));
    Touch(std::string(dir) + "/f");
    Touch(std::string(dir) + "/sub/g");
  }
  Touch("/data/index.html");
  cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Pdf));
  EXPECT_TRUE(DirectoryExists(root_ + "/data/pdf"));
  EXPECT_TRUE(ListDirectory(root_ + "/data/pdf").empty());
  EXPECT_TRUE(FileExists(root_ + "/data/query/sub/g"));
  EXPECT_TRUE(FileExists(root_ + "/data/temp/f"));
  EXPECT_TRUE(FileExists(root_ + "/data/index.html"));

  cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Query));
  cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Temp));
  EXPECT_TRUE(ListDirectory(root_ + "/data/query").empty());
  EXPECT_TRUE(ListDirectory(root_ + "/data/temp").empty());
  EXPECT_TRUE(FileExists(root_ + "/data/index.html"));
}

TEST_F(Cleaning, ReadOnlyFilesSurviveKeepTheirFolderAndAreCounted) {
  ASSERT_TRUE(ForceDirectories(root_ + "/data/pdf/keep"));
  Touch("/data/pdf/ro.pdf");
  Touch("/data/pdf/keep/ro2.pdf");
  Touch("/data/pdf/rw.pdf");
  ASSERT_EQ(::chmod((root_ + "/data/pdf/ro.pdf").c_str(), 0444), 0);
  ASSERT_EQ(::chmod((root_ + "/data/pdf/keep/ro2.pdf").c_str(), 0444), 0);
  EXPECT_EQ(cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Pdf)), 2u);
  EXPECT_TRUE(FileExists(root_ + "/data/pdf/ro.pdf"));
  EXPECT_TRUE(FileExists(root_ + "/data/pdf/keep/ro2.pdf"));
  EXPECT_FALSE(FileExists(root_ + "/data/pdf/rw.pdf"));
}

TEST_F(Cleaning, LinksAreRemovedNotFollowed) {
  ASSERT_TRUE(ForceDirectories(root_ + "/outside"));
  ASSERT_TRUE(ForceDirectories(root_ + "/data/temp"));
  Touch("/outside/precious.txt");
  ASSERT_EQ(::symlink((root_ + "/outside").c_str(), (root_ + "/data/temp/link").c_str()), 0);
  cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Temp));
  EXPECT_TRUE(FileExists(root_ + "/outside/precious.txt"));
  struct stat st;
  EXPECT_NE(::lstat((root_ + "/data/temp/link").c_str(), &st), 0);
}

TEST_F(Cleaning, MissingOrEmptyTargetIsNoError) {
  EXPECT_EQ(cleaning::CleanTarget(cleaning::Target(root_, datadir::Folder::Temp)), 0u);
  ASSERT_TRUE(ForceDirectories(root_ + "/data/temp"));
  cleaning::cleardir(root_ + "/data/temp");  // without the trailing separator
  EXPECT_TRUE(DirectoryExists(root_ + "/data/temp"));
}

}  // namespace
