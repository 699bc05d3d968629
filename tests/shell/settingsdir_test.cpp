// Where the program keeps its settings and data: a program directory the user may write
// (the build's app/, a copied folder) keeps them beside the program; an installed one
// (read-only, or below /usr) sends them to ~/.config/varnolt and ~/Documents/Varnolt or
// the XDG documents folder. The update worker and varnolt-cli follow the same rule.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "shell/updateworker.h"
#include "shell/versionfile.h"
#include "tests/support/cliprogram.h"
#include "tests/support/demosite.h"
#include "tests/support/tempdir.h"

namespace {

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateDir(app_));
    SetProgramDirectoryForTesting(app_);
  }
  void TearDown() override {
    ::chmod(app_.c_str(), 0755);
    SetProgramDirectoryForTesting(TPath());
  }
  void MakeReadOnly(const TPath& dir) { ASSERT_EQ(::chmod(dir.c_str(), 0555), 0); }

  TempDir temp_;
  const TPath app_ = temp_.Path() + "/app";
  const TPath home_ = temp_.Path() + "/home";
  ScopedEnv homeEnv_{"HOME", home_.Bytes()};
  ScopedEnv configEnv_{"XDG_CONFIG_HOME", std::nullopt};
};

TEST_F(Installed, WritableProgramDirectoryKeepsEverythingBesideTheProgram) {
  EXPECT_TRUE(ProgramDirectoryWritable());
  EXPECT_EQ(SettingsDirectory(), app_);
  EXPECT_EQ(datadir::SettingsFile(), app_ + "/savefile.ini");
  EXPECT_EQ(versionfile::ConfigPath(), app_ + "/config.ini");
  EXPECT_EQ(datadir::LoadRootAtStart(), app_);
  EXPECT_FALSE(DirectoryExists(home_));
}

TEST_F(Installed, ReadOnlyProgramDirectorySendsSettingsAndDataToTheUser) {
  MakeReadOnly(app_);
  EXPECT_FALSE(ProgramDirectoryWritable());
  const TPath settings = home_ + "/.config/varnolt";
  EXPECT_EQ(SettingsDirectory(), settings);
  EXPECT_TRUE(DirectoryExists(settings));
  EXPECT_EQ(versionfile::ConfigPath(), settings + "/config.ini");

  // The default root is created at start; a chosen one is kept in the user's savefile.ini.
  EXPECT_EQ(datadir::LoadRootAtStart(), home_ + "/Documents/Varnolt");
  EXPECT_TRUE(DirectoryExists(home_ + "/Documents/Varnolt"));
  datadir::WriteRootSetting(home_ + "/elsewhere");
  EXPECT_EQ(ReadFileBytes(settings + "/savefile.ini"), "[savefile]\r\nsavepath=" + home_.Bytes() + "/elsewhere\r\n");
  EXPECT_EQ(datadir::LoadRootAtStart(), home_ + "/elsewhere");
  DeleteFileAt(settings + "/savefile.ini");

  // The documents folder as the desktop names it, and settings where XDG_CONFIG_HOME says.
  WriteFileBytes(settings + "/../user-dirs.dirs", "# xdg-user-dirs\nXDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOCUMENTS_DIR=\"$HOME/文档\"\n");
  EXPECT_EQ(datadir::DefaultRoot(), home_.Entry("文档").Entry("Varnolt"));
  ScopedEnv config("XDG_CONFIG_HOME", (temp_.Path() + "/cfg").Bytes());
  EXPECT_EQ(SettingsDirectory(), temp_.Path() + "/cfg/varnolt");
  EXPECT_EQ(datadir::DefaultRoot(), home_ + "/Documents/Varnolt");

  // Below /usr a directory counts as installed even for the superuser who could write it.
  SetProgramDirectoryForTesting(TPath::FromSystem("/usr/lib"));
  EXPECT_FALSE(ProgramDirectoryWritable());
}

TEST_F(Installed, UpdateWorkerSavesTheVersionFileInTheUsersSettings) {
  MakeReadOnly(app_);
  DemoSite site;
  new checkupdate();
  ASSERT_TRUE(checkupdate::WaitForAll(30000));
  EXPECT_NE(ReadFileBytes(home_ + "/.config/varnolt/config.ini").find("[update]"), std::string::npos);
  EXPECT_TRUE(ListDirectory(app_).empty());
}

// varnolt-cli in a read-only copy: hosts.ini is read from the user's settings, the
// savefile.ini beside the program is not read, and the report lands in the documents.
TEST_F(Installed, CommandLineReadsTheUsersHostsAndWritesToTheDocuments) {
  SetProgramDirectoryForTesting(TPath());
  DemoSite site;
  CliProgram cli;
  ASSERT_TRUE(ForceDirectories(home_ + "/.config/varnolt"));
  site.WriteHostsIni(home_ + "/.config/varnolt/hosts.ini");
  MakeReadOnly(cli.dir);
  // An installed program searches OPS unless told otherwise; this is about the site's settings.
  CliResult r = cli.Run({"search", "--source", "site", "--title", "隔膜"});
  ::chmod(cli.dir.c_str(), 0755);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const std::vector<DirEntry> reports = ListDirectory(home_ + "/Documents/Varnolt/data/query");
  ASSERT_EQ(reports.size(), 1u) << r.out;
  EXPECT_EQ(reports[0].name, "名称=(隔膜) .html");
  EXPECT_FALSE(DirectoryExists(cli.data + "/data"));
}

}  // namespace
