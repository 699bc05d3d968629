// Which source a run takes, where the OPS account is kept, the account dialog's
// connection test, and the page check every OPS page goes through.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/appdir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/tiffpages.h"
#include "sources/opsaccount.h"
#include "sources/source.h"
#include "tests/support/demosite.h"
#include "tests/support/tempdir.h"

namespace {

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDir(app_));
    SetProgramDirectoryForTesting(app_);
  }
  void TearDown() override {
    ::chmod(app_.c_str(), 0755);
    SetProgramDirectoryForTesting(TPath());
  }
  TempDir temp_;
  const TPath app_ = temp_.Path() + "/app";
  ScopedEnv home_{"HOME", (temp_.Path() + "/home").Bytes()};
  ScopedEnv config_{"XDG_CONFIG_HOME", std::nullopt};
  ScopedEnv key_{"VARNOLT_OPS_KEY", std::nullopt};
  ScopedEnv secret_{"VARNOLT_OPS_SECRET", std::nullopt};
};

TEST_F(Settings, TheExplicitChoiceThenTheSavedOneThenTheProgramDirectoryDecides) {
  EXPECT_EQ(ChooseSource(), TSourceKind::Site);  // a build or a copied folder
  ASSERT_EQ(::chmod(app_.c_str(), 0555), 0);     // installed: the old site is gone
  EXPECT_EQ(ChooseSource(), TSourceKind::Ops);
  EXPECT_EQ(ChooseSource(TSourceKind::Site), TSourceKind::Site);
  ::chmod(app_.c_str(), 0755);

  SaveSource(TSourceKind::Ops);
  EXPECT_EQ(SavedSource(), TSourceKind::Ops);
  EXPECT_EQ(ChooseSource(), TSourceKind::Ops);
  EXPECT_EQ(ChooseSource(TSourceKind::Site), TSourceKind::Site);
  WriteFileBytes(app_ + "/source.ini", "[source]\r\nsource=elsewhere\r\n");
  EXPECT_EQ(SavedSource(), std::nullopt);
  EXPECT_EQ(ReadSourceName(" OPS "), TSourceKind::Ops);
  EXPECT_EQ(ReadDocumentChoice("both"), TDocumentChoice::Both);
  EXPECT_EQ(ReadDocumentChoice("grants"), std::nullopt);
}

TEST_F(Settings, OpsIniIsTheUsersAloneAndTheEnvironmentComesFirst) {
  EXPECT_EQ(ReadOpsCredentials(), std::nullopt);
  WriteFileBytes(app_ + "/ops.ini", "old");
  ::chmod((app_ + "/ops.ini").c_str(), 0644);
  WriteOpsCredentials({"key-1", "secret=1"});
  struct stat st {};
  ASSERT_EQ(::stat((app_ + "/ops.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadFileBytes(app_ + "/ops.ini"), "[ops]\r\nkey=key-1\r\nsecret=secret=1\r\n");
  ASSERT_TRUE(ReadOpsCredentials());
  EXPECT_EQ(ReadOpsCredentials()->secret, "secret=1");
  {
    ScopedEnv key("VARNOLT_OPS_KEY", std::string("env-key"));
    EXPECT_EQ(ReadOpsCredentials()->key, "key-1");  // both or neither
    ScopedEnv secret("VARNOLT_OPS_SECRET", std::string("env-secret"));
    EXPECT_EQ(ReadOpsCredentials()->key, "env-key");
  }
  const std::string message = GbkToUtf8(MissingCredentialsMessage());
  EXPECT_NE(message.find("https://developers.epo.org/"), std::string::npos);
  EXPECT_NE(message.find((app_ + "/ops.ini").Bytes()), std::string::npos);
}

TEST(ConnectionTest, SaysWhatCameBackWithoutTheAccount) {
  DemoSite site({}, false, true);
  ScopedEnv ca("SSL_CERT_FILE", site.CaFile().Bytes());
  const TOpsConnectionTest good = TestOpsConnection({DemoSite::kOpsKey, DemoSite::kOpsSecret}, site.OpsAddress());
  EXPECT_TRUE(good.ok) << GbkToUtf8(good.message);
  EXPECT_NE(GbkToUtf8(good.message).find("1199"), std::string::npos);
  const TOpsConnectionTest wrong = TestOpsConnection({DemoSite::kOpsKey, "not-the-secret"}, site.OpsAddress());
  EXPECT_FALSE(wrong.ok);
  EXPECT_NE(wrong.message.find("401"), std::string::npos);
  EXPECT_EQ(wrong.message.find("not-the-secret"), std::string::npos);
  EXPECT_FALSE(TestOpsConnection({"", ""}, site.OpsAddress()).ok);
}

// A TIFF of the given byte order with IFDs at the offsets, each with one entry.
std::string Tiff(bool big, std::vector<uint32_t> ifds) {
  std::string b(64, '\0');
  auto put16 = [&](size_t at, uint32_t v) {
    b[at + (big ? 0 : 1)] = char(v >> 8);
    b[at + (big ? 1 : 0)] = char(v);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + (big ? i : 3 - i)] = char(v >> (24 - 8 * i));
  };
  b[0] = b[1] = big ? 'M' : 'I';
  put16(2, 42);
  put32(4, ifds.empty() ? 0 : ifds[0]);
  for (size_t i = 0; i < ifds.size(); ++i) {
    put16(ifds[i], 1);
    put32(ifds[i] + 14, i + 1 < ifds.size() ? ifds[i + 1] : 0);
  }
  return b;
}

TEST(TiffImageCount, CountsImagesAndRefusesWhatIsNoTiff) {
  EXPECT_EQ(TiffImageCount(Tiff(true, {8})), 1);
  EXPECT_EQ(TiffImageCount(Tiff(false, {8, 30})), 2);
  std::string loop = Tiff(true, {8, 30});
  loop[30 + 17] = 8;  // the second IFD names the first as its next
  EXPECT_EQ(TiffImageCount(loop), -1);
  EXPECT_EQ(TiffImageCount(Tiff(true, {8}).substr(0, 20)), -1);  // an IFD past the end
  EXPECT_EQ(TiffImageCount(Tiff(true, {})), 0);
  EXPECT_EQ(TiffImageCount("%PDF-1.4 not a page image"), -1);
  EXPECT_EQ(TiffImageCount(std::string("MM\0*\0\0\0\0", 8)), 0);  // no image at all
}

}  // namespace
