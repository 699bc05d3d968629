// The source of patent data in the desktop program (virtual display: the main window holds
// a web view): the choice in 设置 › 数据来源, saved and shown in the status bar at once, what
// the dialogs show with OPS, and the guidance to the account dialog, shown only when runs
// would go to OPS without credentials.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "base/files.h"
#include "base/ini.h"
#include "shell/frmdown.h"
#include "shell/frmquery.h"
#include "shell/forms.h"
#include "shell/frmopsaccount.h"
#include "shell/mainwindow.h"
#include "shell/updateworker.h"
#include "sources/source.h"
#include "windowtest.h"

class SourceChoiceTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<BoxRecorder> boxes_;
  std::unique_ptr<Tfrmmain> w_;
  ScopedEnv key_{"VARNOLT_OPS_KEY", std::nullopt};
  ScopedEnv secret_{"VARNOLT_OPS_SECRET", std::nullopt};

  // The main window as the program opens it, after the start's queued steps have run.
  Tfrmmain* Open() {
    w_ = std::make_unique<Tfrmmain>();
    frmmain = w_.get();
    w_->show();
    QTest::qWait(100);
    return w_.get();
  }
  void Close() {
    frmmain = nullptr;
    w_.reset();
  }
  int GuidanceShown() const {
    int n = 0;
    for (const ShownBox& b : boxes_->shown)
      n += b.caption == U("EPO OPS 帐户") && b.text.contains(U("https://developers.epo.org/")) && b.text.contains(U("免费"));
    return n;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<TestProgramDirectory>();
    boxes_ = std::make_unique<BoxRecorder>();
  }
  void cleanup() {
    Close();
    QVERIFY(checkupdate::WaitForAll(20000));
    boxes_.reset();
    ::chmod(dir_->dir.c_str(), 0755);
    dir_.reset();
  }

  void choiceIsSavedShownAtOnceAndFollowedByTheDialogs() {
    Tfrmmain* w = Open();
    QCOMPARE(w->StatusPanel2->text(), U("数据来源: 专利检索网站"));
    QVERIFY(w->NSourceSite->isChecked() && !w->NSourceOps->isChecked());
    QCOMPARE(GuidanceShown(), 0);
    Tfrmdown down;
    Tfrmquery query;
    down.show();
    query.show();
    QVERIFY(!down.cbdocument->isVisible() && !query.lbzq->isVisible() && !query.spmax->isVisible());
    down.hide();
    query.hide();

    w->NSourceOps->trigger();
    QCOMPARE(w->StatusPanel2->text(), U("数据来源: EPO OPS"));
    QVERIFY(w->NSourceOps->isChecked() && !w->NSourceSite->isChecked());
    QCOMPARE(QString::fromStdString(IniReadString(dir_->dir + "/source.ini", "source", "source", "")), U("ops"));
    // No credentials yet: the way to them is offered (answered No here).
    QCOMPARE(GuidanceShown(), 1);

    // The download dialog: the document choice, remembered; publication numbers typed.
    down.show();
    QVERIFY(down.cbdocument->isVisible());
    QStringList documents;
    for (int i = 0; i < down.cbdocument->count(); ++i) documents << down.cbdocument->itemText(i);
    QCOMPARE(documents, QStringList({U("授权"), U("申请"), U("全部")}));
    QCOMPARE(down.cbdocument->currentText(), U("授权"));
    down.cbdocument->setCurrentIndex(2);
    QCOMPARE(QString::fromStdString(IniReadString(dir_->dir + "/download.ini", "download", "document", "")), U("both"));
    QVERIFY(down.Label2->text().contains(U("公开号")));
    QTest::keyClicks(down.EdNum, "CN101911042B");
    QCOMPARE(down.EdNum->text(), U("CN101911042B"));
    QTest::mouseClick(down.Button2, Qt::LeftButton);
    QTest::mouseClick(down.Button2, Qt::LeftButton);  // a duplicate adds nothing
    down.EdNum->setText("CNX");
    QTest::mouseClick(down.Button2, Qt::LeftButton);
    QCOMPARE(down.Entries(), std::vector<std::string>({"CN101911042B"}));
    QCOMPARE(boxes_->shown.size(), size_t(2));  // the guidance, then why "CNX" is no number
    Tfrmdown later;
    later.show();
    QCOMPARE(later.cbdocument->currentText(), U("全部"));

    query.show();
    QVERIFY(query.lbzq->isVisible() && query.spmax->isVisible());
    QCOMPARE(query.lbzq->text(), U("注：OPS 无中国专利的权利要求文本"));
    QCOMPARE(query.spmax->value(), 100);

    w->NSourceSite->trigger();
    QCOMPARE(w->StatusPanel2->text(), U("数据来源: 专利检索网站"));
    QVERIFY(SavedSource() == TSourceKind::Site);
    QCOMPARE(GuidanceShown(), 1);
    later.hide();
    later.show();
    QVERIFY(!later.cbdocument->isVisible());
    QVERIFY(later.Label2->text().contains(U("6/8/12")));
  }

  void guidanceOnlyWhenAnInstalledProgramHasNoCredentials() {
    TempDir home;
    ScopedEnv homeEnv("HOME", home.Path().Bytes());
    ScopedEnv configEnv("XDG_CONFIG_HOME", std::nullopt);
    QCOMPARE(::chmod(dir_->dir.c_str(), 0555), 0);

    // Installed, nothing saved, no account: the guidance, and Yes opens the account dialog.
    boxes_->answers.push_back(true);
    QString opened;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      if (auto* d = qobject_cast<Tfrmopsaccount*>(QApplication::activeModalWidget())) {
        opened = d->objectName();
        d->reject();
      }
    });
    probe.start(20);
    Tfrmmain* w = Open();
    QVERIFY(WaitFor([&] { return !opened.isEmpty(); }, 10000));
    QCOMPARE(opened, U("frmopsaccount"));
    QCOMPARE(GuidanceShown(), 1);
    QCOMPARE(w->StatusPanel2->text(), U("数据来源: EPO OPS"));
    Close();

    // With credentials (here from the environment) nothing is asked.
    {
      ScopedEnv key("VARNOLT_OPS_KEY", "k");
      ScopedEnv secret("VARNOLT_OPS_SECRET", "s");
      Open();
      Close();
    }
    // The site chosen before: nothing either.
    SaveSource(TSourceKind::Site);
    w = Open();
    QCOMPARE(w->StatusPanel2->text(), U("数据来源: 专利检索网站"));
    QCOMPARE(GuidanceShown(), 1);
  }
};

VARNOLT_QTEST_MAIN(SourceChoiceTest)
#include "sourcechoice_test.moc"
