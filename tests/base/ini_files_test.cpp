#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "base/errors.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/hosts.h"
#include "base/ini.h"

namespace {

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/varnolt-base-XXXXXX";
    dir_ = TPath::FromSystem(::mkdtemp(tmpl));
  }
  void TearDown() override { std::system(("rm -rf '" + dir_.Bytes() + "'").c_str()); }
  TPath Path(const std::string& name) const { return dir_ + "/" + name; }
  TPath dir_;
};

using Ini = TempDir;
using Files = TempDir;

}  // namespace

TEST_F(Ini, ReadsSectionAndKeyWithoutRegardToCase) {
  WriteFileBytes(Path("a.ini"), "; note\r\n[other]\r\nsavepath=wrong\r\n[SaveFile]\r\n  SAVEPATH =  /data/x  \r\nmore=1\r\n");
  EXPECT_EQ(IniReadString(Path("a.ini"), "savefile", "savepath", "def"), "/data/x");
  EXPECT_EQ(IniReadString(Path("a.ini"), "savefile", "missing", "def"), "def");
  EXPECT_EQ(IniReadString(Path("a.ini"), "nosection", "savepath", "def"), "def");
  EXPECT_EQ(IniReadString(Path("none.ini"), "savefile", "savepath", "def"), "def");
}

TEST_F(Ini, EmptyValueIsEmptyNotDefault) {
  WriteFileBytes(Path("a.ini"), "[savefile]\r\nsavepath=\r\n");
  EXPECT_EQ(IniReadString(Path("a.ini"), "savefile", "savepath", "def"), "");
}

TEST_F(Ini, CrOnlyAndLfOnlyLinesRead) {
  WriteFileBytes(Path("cr.ini"), "[update]\rver=5\rurl=http://x/\r");
  WriteFileBytes(Path("lf.ini"), "[update]\nver=6\nmsg=\xd0\xc2\n");
  EXPECT_EQ(IniReadString(Path("cr.ini"), "update", "url", ""), "http://x/");
  EXPECT_EQ(IniReadString(Path("lf.ini"), "update", "ver", ""), "6");
  EXPECT_EQ(IniReadString(Path("lf.ini"), "update", "msg", ""), "\xd0\xc2");
}

TEST_F(Ini, ValuesAreCutTo2047Bytes) {
  std::string longValue(5000, 'v');
  WriteFileBytes(Path("a.ini"), "[s]\r\nk=" + longValue + "\r\n");
  EXPECT_EQ(IniReadString(Path("a.ini"), "s", "k", ""), std::string(2047, 'v'));
}

TEST_F(Ini, WritesCrLfLinesReplacingTheFile) {
  WriteFileBytes(Path("s.ini"), "old content that is longer than the new one\r\n");
  WriteTextLines(Path("s.ini"), {"[savefile]", "savepath=/d/\xb5\xe7"});
  EXPECT_EQ(ReadFileBytes(Path("s.ini")), "[savefile]\r\nsavepath=/d/\xb5\xe7\r\n");
  EXPECT_THROW(WriteTextLines(Path("no/such/dir/s.ini"), {"x"}), EFileError);
}

TEST_F(Ini, WritingOneKeyKeepsEveryOtherLine) {
  const TPath file = Path("s.ini");
  IniWriteString(file, "download", "ocr", "1");
  EXPECT_EQ(ReadFileBytes(file), "[download]\r\nocr=1\r\n");
  WriteFileBytes(file, "; note\r\n[SaveFile]\r\n  SAVEPATH = /old \r\nmore=1\r\n\r\n[Download]\r\nOCR=0\r\n");
  IniWriteString(file, "savefile", "savepath", "/new");
  IniWriteString(file, "download", "ocr", "1");
  IniWriteString(file, "savefile", "added", "x");
  EXPECT_EQ(ReadFileBytes(file),
            "; note\r\n[SaveFile]\r\nsavepath=/new\r\nmore=1\r\nadded=x\r\n\r\n[Download]\r\nocr=1\r\n");
  EXPECT_EQ(IniReadString(file, "savefile", "savepath", ""), "/new");
  EXPECT_THROW(IniWriteString(Path("no/such/dir/s.ini"), "s", "k", "v"), EFileError);
}

TEST(SplitLines, FinalBreakAddsNoLineButEmptyLinesStay) {
  EXPECT_EQ(SplitLines("a\r\nb\r\n"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\rb\nc"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitLines("\r\n"), std::vector<std::string>{""});
}

TEST_F(Files, TextBornNamesBecomeUtf8OnDiskAndListingsGiveTheSystemsBytes) {
  const TPath gbkDir = Path("\xca\xfd\xbe\xdd");  // 数据
  ASSERT_TRUE(CreateDir(gbkDir));
  EXPECT_TRUE(DirectoryExists(gbkDir));
  EXPECT_EQ(::access((dir_.Bytes() + "/数据").c_str(), F_OK), 0);
  WriteFileBytes(gbkDir + "/\xb5\xe7\xb3\xd8.pdf", "x");
  auto entries = ListDirectory(gbkDir);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "电池.pdf");
  EXPECT_FALSE(entries[0].isDirectory);
  EXPECT_TRUE(FileExists(gbkDir + "/\xb5\xe7\xb3\xd8.pdf"));
  EXPECT_FALSE(FileExists(gbkDir));
}

TEST_F(Files, CreateDeleteAndListingWithHiddenEntries) {
  EXPECT_FALSE(CreateDir(Path("a/b")));  // one level only
  EXPECT_TRUE(ForceDirectories(Path("a/b/c")));
  EXPECT_TRUE(DirectoryExists(Path("a/b/c")));
  EXPECT_TRUE(ForceDirectories(Path("a/b/c/")));  // existing is fine
  WriteFileBytes(Path("a/.hidden"), "");
  WriteFileBytes(Path("a/f.txt"), "");
  auto entries = ListDirectory(Path("a"));
  int files = 0, dirs = 0;
  for (auto& e : entries) (e.isDirectory ? dirs : files)++;
  EXPECT_EQ(files, 2);
  EXPECT_EQ(dirs, 1);
  EXPECT_FALSE(RemoveDir(Path("a/b")));  // not empty
  EXPECT_TRUE(RemoveDir(Path("a/b/c")));
  EXPECT_TRUE(DeleteFileAt(Path("a/f.txt")));
  EXPECT_FALSE(DeleteFileAt(Path("a/f.txt")));
  EXPECT_TRUE(ListDirectory(Path("missing")).empty());
}

TEST(FileNameFromText, AlwaysStaysInsideItsDirectory) {
  EXPECT_EQ(FileNameFromText("\xb7\xd6\xc0\xe0\xba\xc5=('%H04L12/28%') "), "\xb7\xd6\xc0\xe0\xba\xc5=('%H04L12_28%') ");
  EXPECT_EQ(FileNameFromText("../../etc/passwd"), ".._.._etc_passwd");
  EXPECT_EQ(FileNameFromText(std::string("a\0b", 3)), "a_b");
  EXPECT_EQ(FileNameFromText(""), "_");
  EXPECT_EQ(FileNameFromText("."), "_");
  EXPECT_EQ(FileNameFromText(".."), "_");
  EXPECT_EQ(FileNameFromText("...") , "...");
  EXPECT_EQ(FileNameFromText("a?b#%"), "a?b#%");  // only what breaks the path changes
}

TEST(FileNameFromText, LongNamesAreCutAtACharacterWithTheirTailAndExtension) {
  const std::string c = "\xb5\xe7";  // 电: 3 bytes in UTF-8
  std::string fits;
  for (int i = 0; i < 83; ++i) fits += c;  // 249 + ".html" = 254 bytes
  EXPECT_EQ(FileNameFromText(fits, ".html"), fits + ".html");
  const std::string longer = fits + "a/" + c;
  const std::string name = FileNameFromText(longer, ".pdf", "123/4");
  EXPECT_EQ(name, fits.substr(0, 2 * 81) + "(123_4).pdf");  // 243 + 11 bytes: one more character would not fit
  EXPECT_LE(GbkToUtf8(name).size(), kMaxFileNameBytes);
  EXPECT_EQ(FileNameFromText(longer, ".html"), fits.substr(0, 2 * 80) + "(" + TextHashTail(longer) + ").html");
  EXPECT_NE(TextHashTail(longer), TextHashTail(longer + "b"));
  EXPECT_EQ(TextHashTail("").size(), 8u);
  // Bytes that are not GBK convert otherwise in one piece than character by character.
  std::string broken;
  while (broken.size() < 300) broken += "\xa6\x81\xa1";
  for (const char* extension : {"", ".pdf"})
    EXPECT_LE(GbkToUtf8(FileNameFromText(broken, extension)).size(), kMaxFileNameBytes) << extension;
}

TEST_F(Files, WholeFilesOnlyAndLeftoversOfDeadWritersGo) {
  WriteFileBytes(Path("a.html"), "old");
  WriteFileBytes(Path("a.html"), "new");
  EXPECT_EQ(ReadFileBytes(Path("a.html")), "new");
  ASSERT_TRUE(CreateDir(Path("blocked")));
  EXPECT_THROW(WriteFileBytes(Path("blocked"), "x"), EFileError);  // a folder in the way of the rename
  EXPECT_THROW(WriteFileBytes(Path("missing/a.html"), "x"), EFileError);
  EXPECT_EQ(ListDirectory(dir_).size(), 2u) << "no temporary file stays";

  // A leftover goes however its writer ended: one whose writer was killed and is not yet
  // reaped (a zombie still answers kill(pid, 0)), and one that names a live process, as a
  // reused id does. A file still being written stays, and its writer can finish it.
  int pipe_[2];
  ASSERT_EQ(::pipe(pipe_), 0);
  pid_t child = ::fork();
  if (child == 0) {
    TTemporaryFile held(dir_);
    const std::string& name = held.Path().Bytes();
    if (::write(pipe_[1], name.data(), name.size()) < 0) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char buf[4096];
  ssize_t n = ::read(pipe_[0], buf, sizeof buf);
  ASSERT_GT(n, 0);
  const TPath zombies = TPath::FromSystem(std::string(buf, size_t(n)));
  ::kill(child, SIGKILL);
  siginfo_t info;
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);  // dead, not reaped
  EXPECT_EQ(::kill(child, 0), 0);
  const TPath reused = dir_.Entry(".varnolt-" + std::to_string(::getpid()) + "-999999.tmp");
  ASSERT_EQ(::close(::open(reused.c_str(), O_WRONLY | O_CREAT, 0666)), 0);
  TTemporaryFile mine(dir_);
  ASSERT_EQ(::write(mine.Fd(), "being written", 13), 13);
  RemoveStaleTemporaryFiles(dir_);
  EXPECT_FALSE(FileExists(zombies));
  EXPECT_FALSE(FileExists(reused));
  EXPECT_TRUE(FileExists(mine.Path()));
  ASSERT_TRUE(mine.MoveTo(Path("b.html")));
  EXPECT_EQ(ReadFileBytes(Path("b.html")), "being written");
  ::waitpid(child, nullptr, 0);
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

TEST_F(Files, AFolderLockMakesTheSecondHolderWait) {
  std::atomic<int> waits{0};
  std::atomic<bool> secondHasIt{false};
  std::thread second;
  {
    TFolderLock first(dir_, [&] { ++waits; });
    second = std::thread([&] {
      TFolderLock lock(dir_, [&] { ++waits; });
      secondHasIt = true;
    });
    while (waits == 0) std::this_thread::yield();
    EXPECT_FALSE(secondHasIt);
  }
  second.join();
  EXPECT_TRUE(secondHasIt);
  EXPECT_EQ(waits, 1);
}

TEST_F(Ini, HostsFallBackToDefaultsKeyByKey) {
  WriteFileBytes(Path("hosts.ini"), "[hosts]\r\nSearchHost=127.0.0.1:8080\r\nmakerhost=demo:1\r\n");
  SiteHosts h = ReadSiteHosts(Path("hosts.ini"));
  EXPECT_EQ(h.SearchHost, "127.0.0.1:8080");
  EXPECT_EQ(h.MakerHost, "demo:1");
  SiteHosts d = ReadSiteHosts(Path("missing.ini"));
  EXPECT_EQ(h.PortalHost, d.PortalHost);
  EXPECT_FALSE(d.SearchHost.empty());
  EXPECT_FALSE(d.OfficeWIPO.empty());
}
