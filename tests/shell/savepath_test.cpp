#include <gtest/gtest.h>

#include <thread>

#include "base/appdir.h"
#include "base/files.h"
#include "shell/savepath.h"
#include "tests/support/tempdir.h"

namespace {
class SavePath : public ::testing::Test {
 protected:
  void SetUp() override { SetProgramDirectoryForTesting(dir_); }
  void TearDown() override { SetProgramDirectoryForTesting(""); }
  TempDir temp_;
  const std::string dir_ = temp_.Path();
};
}  // namespace

TEST_F(SavePath, ProgramDirectoryWhenNoFileOrEmptyValue) {
  EXPECT_EQ(savepath::LoadAtStart(), dir_);
  WriteFileBytes(dir_ + "/savefile.ini", "[savefile]\r\nsavepath=\r\n");
  EXPECT_EQ(savepath::LoadAtStart(), dir_);
}

TEST_F(SavePath, SettingsValueTakenUnchanged) {
  savepath::WriteSettings("/no/such/place/");
  EXPECT_EQ(ReadFileBytes(dir_ + "/savefile.ini"), "[savefile]\r\nsavepath=/no/such/place/\r\n");
  EXPECT_EQ(savepath::LoadAtStart(), "/no/such/place/");
  EXPECT_EQ(savepath::Get(), "/no/such/place/");
}

TEST_F(SavePath, ReadersNeverSeeATornValue) {
  const std::string a(300, 'a'), b(500, 'b');
  savepath::Set(a);
  std::thread writer([&] {
    for (int i = 0; i < 20000; ++i) savepath::Set(i % 2 ? a : b);
  });
  for (int i = 0; i < 20000; ++i) {
    std::string v = savepath::Get();
    ASSERT_TRUE(v == a || v == b);
  }
  writer.join();
}
