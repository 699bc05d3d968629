// Watches in the library: the store (a version-1 file moves to version 2 keeping its
// records; names, runs, what was seen) and what counts as news.
#include <gtest/gtest.h>

#include "base/gbk.h"
#include "library/schema.h"
#include "library/watches.h"
#include "library/watchnews.h"
#include "tests/library/librarytest.h"
#include "tests/support/tempdir.h"

namespace {

using Names = std::vector<std::string>;

TEST(WatchStore, AVersionOneFileMovesOnAndKeepsItsRecords) {
  TempDir root;
  {
    TLibrary lib(root.Path());
    ASSERT_EQ(lib.SchemaVersion(), int(LibraryMigrations().size()));
  }
  {
    // A file as the first version left it: its schema alone, and a record.
    TSqlite db((root.Path() + "/data/library2.db").Bytes(), true);
    db.Exec(LibraryMigrations()[0]);
    db.Exec("PRAGMA user_version = 1");
    db.Exec("INSERT INTO records(application, first_met, updated) VALUES('200510012345', 'x', 'x')");
  }
  ASSERT_EQ(std::rename((root.Path() + "/data/library2.db").c_str(), (root.Path() + "/data/library.db").c_str()), 0);
  TLibrary lib(root.Path());
  EXPECT_EQ(lib.SchemaVersion(), 2);
  EXPECT_EQ(Count(lib, "records"), 1);
  EXPECT_EQ(Count(lib, "watches"), 0);
}

TEST(WatchStore, NamesRunsAndWhatWasSeen) {
  TempDir root;
  TLibrary lib(root.Path());
  TWatchStore store(lib);
  TWatch w;
  w.name = "变速箱";
  w.search = {"--title", "变速箱 换挡", "--legal-status"};
  w.download = true;
  w.document = "both";
  w.legal = true;
  ASSERT_TRUE(store.Add(w));
  TWatch again = w;
  EXPECT_FALSE(store.Add(again));  // the name is taken
  TWatch other;
  other.name = "battery";
  other.search = {"--title", "battery"};
  ASSERT_TRUE(store.Add(other));

  std::optional<TWatch> read = store.Find("变速箱");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->search, w.search);
  EXPECT_TRUE(read->download && read->legal && !read->ocr);
  EXPECT_EQ(read->document, "both");
  EXPECT_FALSE(read->lastRun);
  EXPECT_FALSE(store.Find("变速"));

  // Two runs: the first sees two applications, the second a grant and a legal change.
  int64_t firstRun, secondRun;
  {
    TLibraryWriter run(root.Path(), {"watch", "ops", "ti=gearbox", ""});
    firstRun = run.RunId();
    store.RunStarted(w.id, firstRun, "");
    store.See(w.id, firstRun, {"202310123456", {"CN116789012A"}, "审中", "实质审查的生效 2023-10-27"});
    store.See(w.id, firstRun, {"202320654321", {"CN219345678U"}, "有效", "授权 2023-08-22"});
    store.RunEnded(w.id, firstRun, 2, 0, "data/watch/变速箱/2025-01-01.html", "2025-01-01");
    run.Finish({2, 0, "done"});
  }
  {
    TLibraryWriter run(root.Path(), {"watch", "ops", "ti=gearbox", ""});
    secondRun = run.RunId();
    store.RunStarted(w.id, secondRun, "2024-12-02");
    // A narrowed search shows the grant alone; a legal look-up without a status keeps it.
    store.See(w.id, secondRun, {"202310123456", {"CN116789012B"}, "有效", "授权 2025-04-15"});
    store.See(w.id, secondRun, {"202320654321", {}, "", ""});
    store.RunEnded(w.id, secondRun, 0, 1, "data/watch/变速箱/2025-06-30.html", "");  // read only part
  }
  std::map<std::string, TWatchSeen> seen = store.Seen(w.id);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen["202310123456"].publications, (Names{"CN116789012A", "CN116789012B"}));
  EXPECT_EQ(seen["202310123456"].legalState, "有效");
  EXPECT_EQ(seen["202320654321"].legalEvent, "授权 2023-08-22");
  EXPECT_TRUE(store.Seen(other.id).empty());

  read = store.Find("变速箱");
  EXPECT_EQ(read->known, 2);
  EXPECT_EQ(read->searchedThrough, "2025-01-01");  // the second run did not read every hit
  ASSERT_TRUE(read->lastRun);
  EXPECT_EQ(read->lastRun->runId, secondRun);
  EXPECT_EQ(read->lastRun->ended, "");  // never finished, as a killed run
  EXPECT_EQ(read->lastRun->searchedFrom, "2024-12-02");
  EXPECT_EQ(read->lastRun->changed, 1);
  EXPECT_EQ(read->unread, 3);
  ASSERT_EQ(store.Runs(w.id).size(), 2u);
  EXPECT_EQ(store.Runs(w.id)[1].outcome, "done");
  store.MarkRead(w.id);
  EXPECT_EQ(store.Find("变速箱")->unread, 0);

  // Removing takes what it saw and its runs' rows; the runs themselves stay.
  EXPECT_TRUE(store.Remove("变速箱"));
  EXPECT_FALSE(store.Remove("变速箱"));
  EXPECT_EQ(Count(lib, "watch_seen"), 0);
  EXPECT_EQ(Count(lib, "watch_runs"), 0);
  EXPECT_EQ(Count(lib, "runs"), 2);
  ASSERT_EQ(store.List().size(), 1u);
  EXPECT_EQ(store.List()[0].name, "battery");
}

TEST(WatchStore, NamesThatCannotNameAFolder) {
  for (const std::string& good : {std::string("gear"), std::string("变速箱 监视"), std::string(64, 'x')}) EXPECT_EQ(WatchNameProblem(good), "");
  for (const std::string& bad : {std::string(), std::string("a/b"), std::string(".."), std::string("-x"),
                                 std::string("a\tb"), std::string("\xff"), std::string(65, 'x')})
    EXPECT_NE(WatchNameProblem(bad), "") << bad;
}

TEST(WatchNews, PublicationsLegalChangesAndTheDocumentsTheyBring) {
  TPatentRecord r;
  r.application = "CN202310123456.X";
  r.publications = {{"CN116789012B", "2025-04-15"}, {"cn116789012a", ""}};
  r.legalStatus = "有效：授权 2025-04-15";
  TWatchSeen now = SeenOf(r);
  EXPECT_EQ(now.application, "202310123456");
  EXPECT_EQ(now.publications, (Names{"CN116789012A", "CN116789012B"}));
  EXPECT_EQ(now.legalState, "有效");
  EXPECT_EQ(now.legalEvent, "授权 2025-04-15");

  const TWatchSeen before{"202310123456", {"CN116789012A"}, "审中", "实质审查的生效 2023-10-27"};
  std::vector<TWatchChange> changes = ChangesOf(before, now, true);
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0].what, TWatchChange::TWhat::Publication);
  EXPECT_EQ(changes[0].before, "CN116789012A");
  EXPECT_EQ(changes[0].after, "CN116789012A; CN116789012B");
  EXPECT_EQ(changes[1].what, TWatchChange::TWhat::LegalState);
  EXPECT_EQ(changes[1].before, "审中：实质审查的生效 2023-10-27");
  EXPECT_EQ(changes[1].after, "有效：授权 2025-04-15");
  // Without --legal, or without a status looked up this time, only the publication.
  EXPECT_EQ(ChangesOf(before, now, false).size(), 1u);
  TWatchSeen unlooked = now;
  unlooked.legalState = unlooked.legalEvent = "";
  EXPECT_EQ(ChangesOf(before, unlooked, true).size(), 1u);
  // A new event of the same state; and an old publication not shown again is no change.
  const TWatchSeen same{"202310123456", {"CN116789012A", "CN116789012B"}, "有效", "授权 2025-04-15"};
  TWatchSeen later{"202310123456", {"CN116789012B"}, "有效", "专利权人的姓名或者名称、地址的变更 2025-06-01"};
  changes = ChangesOf(same, later, true);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].what, TWatchChange::TWhat::LegalEvent);
  EXPECT_TRUE(ChangesOf(same, same, true).empty());

  // The documents: the grant when the choice wants it and it is new; nothing for the
  // application's choice once its A was known; both takes every new one.
  const Names a{"CN116789012A"}, ab{"CN116789012A", "CN116789012B"};
  EXPECT_EQ(NewDocuments(TDocumentChoice::Grant, a, ab), Names{"CN116789012B"});
  EXPECT_EQ(NewDocuments(TDocumentChoice::Application, a, ab), Names{});
  EXPECT_EQ(NewDocuments(TDocumentChoice::Both, {}, ab), ab);
  EXPECT_EQ(NewDocuments(TDocumentChoice::Grant, {}, a), a);
  EXPECT_EQ(NewDocuments(TDocumentChoice::Grant, {}, ab), Names{"CN116789012B"});
  EXPECT_EQ(NewDocuments(TDocumentChoice::Grant, ab, ab), Names{});
  EXPECT_EQ(NewDocuments(TDocumentChoice::Application, {}, Names{"CN219345678U"}), Names{"CN219345678U"});
}

}  // namespace
