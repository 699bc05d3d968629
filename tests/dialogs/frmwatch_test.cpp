// The watch window over a real library and the demo's OPS role: its list, a run from it and
// its report, deleting, the schedule setting written as the command writes it, and the
// search dialog's fields saved as a watch.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <memory>

#include "base/datadir.h"
#include "base/files.h"
#include "library/watches.h"
#include "search/getquery.h"
#include "shell/frmquery.h"
#include "shell/frmwatch.h"
#include "tests/shell/windowtest.h"
#include "tests/support/demosite.h"

class FrmwatchTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<BoxRecorder> boxes_;

  void AddWatch(const std::string& name, std::vector<std::string> search) {
    TLibrary library(datadir::Root());
    TWatch w;
    w.name = name;
    w.search = std::move(search);
    QVERIFY(TWatchStore(library).Add(w));
  }
  std::optional<TWatch> Watch(const std::string& name) {
    TLibrary library(datadir::Root());
    return TWatchStore(library).Find(name);
  }
  static QString Cell(Tfrmwatch& d, int row, int column) { return d.lvwatch->item(row, column)->text(); }

 private slots:
  void init() {
    dir_ = std::make_unique<TestProgramDirectory>();
    boxes_ = std::make_unique<BoxRecorder>();
    datadir::SetRoot(dir_->dir);
  }

  void cleanup() {
    boxes_.reset();
    datadir::SetRoot(TPath());
    dir_.reset();
  }

  void runFromTheWindowThenDelete() {
    DemoSite site({"--pages", "1"}, false, true);
    ScopedEnv ca("SSL_CERT_FILE", site.CaFile().Bytes());
    ScopedEnv key("VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey));
    ScopedEnv secret("VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret));
    AddWatch("伞", {"--title", "umbrella"});
    AddWatch("长江", {"--applicant", "长江变速器", "--legal-status"});
    Tfrmwatch d;
    d.show();
    QCOMPARE(d.lvwatch->rowCount(), 2);
    QCOMPARE(Cell(d, 1, 0), U("长江"));
    QCOMPARE(Cell(d, 1, 1), U("--applicant 长江变速器 --legal-status"));
    QCOMPARE(Cell(d, 1, 2), U("尚未运行"));

    d.lvwatch->selectRow(1);
    QTest::mouseClick(d.btrun, Qt::LeftButton);
    QVERIFY(!d.btrun->isEnabled());
    QVERIFY(WaitFor([&] { return !d.Running(); }, 120000));
    QVERIFY2(d.mmo->toPlainText().contains(U("监视 长江：新申请 7 条，有变化 0 条")), qPrintable(d.mmo->toPlainText()));
    QCOMPARE(d.lvwatch->currentRow(), 1);  // the run's watch stays chosen
    QCOMPARE(Cell(d, 1, 3), U("7"));        // news not yet looked at
    QCOMPARE(Cell(d, 1, 4), U("7"));        // applications known
    QVERIFY(Cell(d, 1, 2).startsWith(U("上次运行 ")));

    // 打开报告: the report is there, its news count as seen.
    QTest::mouseClick(d.btreport, Qt::LeftButton);
    QVERIFY(boxes_->shown.empty());
    QCOMPARE(Watch("长江")->unread, 0);
    QVERIFY(FileExists(TPath::FromSystem(datadir::Root().Bytes() + "/" + Watch("长江")->lastRun->report)));

    // 删除 asks first: No keeps it, Yes removes it.
    d.show();
    d.lvwatch->selectRow(0);
    QTest::mouseClick(d.btdelete, Qt::LeftButton);
    QCOMPARE(d.lvwatch->rowCount(), 2);
    boxes_->answers.push_back(true);
    d.lvwatch->selectRow(0);
    QTest::mouseClick(d.btdelete, Qt::LeftButton);
    QCOMPARE(d.lvwatch->rowCount(), 1);
    QVERIFY(!Watch("伞"));
    QVERIFY(boxes_->shown.back().text.contains(U("伞")));
    QVERIFY(RunPumping([] { getquery::WaitAllDone(); }));
  }

  void scheduleAsTheCommandSetsIt() {
    TempDir config, runtime;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().Bytes());
    ScopedEnv rt("XDG_RUNTIME_DIR", runtime.Path().Bytes());
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime.Path().Bytes() + "/bus");
    Tfrmwatch d;
    d.show();
    QCOMPARE(d.cbschedule->currentIndex(), 0);
    d.cbschedule->setCurrentIndex(2);
    emit d.cbschedule->activated(2);
    // No user manager to reach: said, with the crontab line; the setting kept in the files.
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QVERIFY2(boxes_->shown[0].text.contains(U("0 9 * * 1 ")), qPrintable(boxes_->shown[0].text));
    QVERIFY(FileExists(config.Path() + "/systemd/user/varnolt-watch.timer.d/schedule.conf"));
    QCOMPARE(d.cbschedule->currentIndex(), 2);
    emit d.cbschedule->activated(0);
    QCOMPARE(d.cbschedule->currentIndex(), 0);
    QVERIFY(!FileExists(config.Path() + "/systemd/user/varnolt-watch.timer"));
  }

  void searchDialogSavesItsFieldsAsAWatch() {
    SaveSource(TSourceKind::Ops);
    Tfrmquery q;
    q.show();
    QVERIFY(q.btwatch->isVisible());
    q.edapplicant->setText(U("长江变速器"));
    q.cklaw->setChecked(true);
    q.spmax->setValue(300);
    OnNextModal([](QWidget* w) {
      w->findChild<QLineEdit*>("edname")->setText(U("长江"));
      w->findChild<QCheckBox*>("ckdownload")->setChecked(true);
      w->findChild<QComboBox*>("cbdocument")->setCurrentIndex(2);
      w->findChild<QCheckBox*>("cklegal")->setChecked(true);
      QTest::mouseClick(w->findChild<QPushButton*>("btok"), Qt::LeftButton);
    });
    QTest::mouseClick(q.btwatch, Qt::LeftButton);
    std::optional<TWatch> w = Watch("长江");
    QVERIFY(w);
    QCOMPARE(w->search, (std::vector<std::string>{"--applicant", "长江变速器", "--legal-status", "--max", "300"}));
    QVERIFY(w->download && w->legal && !w->ocr);
    QCOMPARE(w->document, std::string("both"));
    QVERIFY(boxes_->shown.back().text.contains(U("已保存为监视：长江")));
    SaveSource(TSourceKind::Site);
    // The site's search has no watches: the button is not there.
    q.ShowSourceControls();
    QVERIFY(!q.btwatch->isVisible());
  }
};

VARNOLT_QTEST_MAIN(FrmwatchTest)
#include "frmwatch_test.moc"
