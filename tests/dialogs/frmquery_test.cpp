// The search dialog on its own: layout, focus, how the edits and boxes reach the run,
// the empty-condition message, the memo and the start button around a run.
#include <QCheckBox>
#include <QDate>
#include <QProgressBar>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <utility>
#include <memory>

#include "base/files.h"
#include "shell/frmquery.h"
#include "search/getquery.h"
#include "shell/qttext.h"
#include "base/datadir.h"
#include "tests/shell/windowtest.h"
#include "tests/support/demosite.h"

class FrmqueryTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<BoxRecorder> boxes_;
  std::unique_ptr<Tfrmquery> dlg_;

  Tfrmquery* Open() {
    dlg_ = std::make_unique<Tfrmquery>();
    dlg_->show();
    return dlg_.get();
  }

  // Waits until the run that the dialog started has ended and its worker is gone.
  void WaitForRunEnd() {
    QVERIFY(WaitFor([this] { return dlg_->btstart->isEnabled(); }));
    QVERIFY(RunPumping([] { getquery::WaitAllDone(); }));
  }

  void Fill(const QString& title, const QString& abs, const QString& cls) {
    dlg_->edtitle->setText(title);
    dlg_->edabs->setText(abs);
    dlg_->edg->setText(cls);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<TestProgramDirectory>();
    boxes_ = std::make_unique<BoxRecorder>();
    datadir::SetRoot(dir_->dir);
  }

  void cleanup() {
    if (dlg_) RunPumping([] { getquery::WaitAllDone(); });
    dlg_.reset();
    boxes_.reset();
    datadir::SetRoot(TPath());
    dir_.reset();
  }

  void layoutAsDesigned() {
    Tfrmquery* d = Open();
    QCOMPARE(d->objectName(), U("frmquery"));
    QCOMPARE(d->windowTitle(), U("检索专利"));
    QCOMPARE(d->size(), QSize(537, 322));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d->font().pixelSize(), 11);
    QCOMPARE(d->font().families().value(0), U("Tahoma"));
    QRect desk = d->screen()->availableGeometry();
    QCOMPARE(d->geometry().center(), desk.center());

    struct Expect {
      const char* name;
      QRect geometry;
      const char* caption;
    } controls[] = {
        {"Panel1", {0, 0, 233, 322}, nullptr},         {"mmo", {233, 0, 304, 322}, nullptr},
        {"Bevel1", {8, 8, 217, 297}, nullptr},         {"edtitle", {56, 16, 161, 21}, ""},
        {"edabs", {56, 48, 161, 21}, ""},              {"edg", {56, 80, 65, 21}, ""},
        {"cklaw", {56, 120, 81, 17}, "法律状态"},      {"ckzq", {56, 152, 97, 17}, "第一权利要求"},
        {"ckabs", {56, 176, 73, 17}, "摘要信息"},      {"ckowner", {56, 200, 97, 17}, "专利权人"},
        {"Bevel2", {24, 216, 185, 17}, nullptr},       {"btstart", {112, 264, 97, 25}, "开始检索"},
        {"msgbt", {32, 264, 75, 25}, "返回"},
    };
    for (const Expect& e : controls) {
      auto* w = d->findChild<QWidget*>(e.name);
      QVERIFY2(w, e.name);
      QCOMPARE(w->geometry(), e.geometry);
      if (!e.caption) continue;
      if (auto* edit = qobject_cast<QLineEdit*>(w)) QCOMPARE(edit->text(), U(e.caption));
      if (auto* box = qobject_cast<QCheckBox*>(w)) {
        QCOMPARE(box->text(), U(e.caption));
        QVERIFY(!box->isChecked());
      }
      if (auto* button = qobject_cast<QPushButton*>(w)) QCOMPARE(button->text(), U(e.caption));
    }
    for (auto [name, caption] : {std::pair{"Label1", "名称"}, std::pair{"Label2", "摘要"}, std::pair{"Label3", "分类"}}) {
      auto* l = d->findChild<QLabel*>(name);
      QVERIFY2(l, name);
      QCOMPARE(l->x(), 16);
      QCOMPARE(l->text(), U(caption));
      QVERIFY(l->width() >= l->sizeHint().width());
    }
    // The controls beside the memo sit on the panel.
    QCOMPARE(d->edtitle->parentWidget(), d->Panel1);
    QCOMPARE(d->btstart->parentWidget(), d->Panel1);
    QCOMPARE(d->mmo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(d->mmo->verticalScrollBar()->isVisible());
    QVERIFY(d->mmo->toPlainText().isEmpty());
    QVERIFY(d->btstart->isVisible() && d->btstart->isEnabled());
    QVERIFY(!d->msgbt->isVisible());
    QVERIFY(d->msgbt->isEnabled());  // a disabled button would ignore the run's click
  }

  // Each caption and the same text typed into its edit end on the same pixel row, as
  // drawn on the display.
  void labelsStandOnTheBaselineOfTheirEdits() {
    Tfrmquery* d = Open();
    QVERIFY(QTest::qWaitForWindowExposed(d));
    d->btstart->setFocus();  // no text cursor in an edit
    const std::pair<QLabel*, QLineEdit*> rows[] = {{d->Label1, d->edtitle}, {d->Label2, d->edabs}, {d->Label3, d->edg}};
    for (auto [label, edit] : rows) edit->setText(label->text());
    QTest::qWait(100);
    const QImage panel = d->Panel1->grab().toImage();
    // The lowest row of dark pixels inside area.
    auto inkBottom = [&panel](const QRect& area) {
      for (int y = area.bottom(); y >= area.top(); --y)
        for (int x = area.left(); x <= area.right(); ++x)
          if (qGray(panel.pixel(x, y)) < 100) return y;
      return -1;
    };
    for (auto [label, edit] : rows) {
      const int labelBottom = inkBottom(label->geometry());
      // Inside the edit's frame.
      const int editBottom = inkBottom(edit->geometry().adjusted(4, 4, -4, -4));
      QVERIFY2(labelBottom > 0 && editBottom > 0, qPrintable(label->objectName()));
      QCOMPARE(labelBottom, editBottom);
    }
  }

  void tabOrderAndFocusOnEveryShow() {
    Tfrmquery* d = Open();
    QStringList chain;
    QWidget* w = d->edtitle;
    do {
      if (w->focusPolicy() & Qt::TabFocus) chain << w->objectName();
      w = w->nextInFocusChain();
    } while (w != d->edtitle);
    // spmax (the number of records) and OPS's fields and boxes, shown with OPS only, come
    // after the site's fields and boxes.
    QCOMPARE(chain, QStringList({"edtitle", "edabs", "edg", "spmax", "qt_spinbox_lineedit", "edapplicant", "edinventor",
                                 "edtext", "edcpc", "ednumber", "edfrom", "edto", "btstart", "cklaw", "ckabs", "ckzq",
                                 "ckowner", "ckfamily", "ckcollapse", "cknotranslate", "btwatch", "msgbt", "mmo"}));
    // Focus left elsewhere goes back to the title edit when the dialog shows again.
    d->edg->setFocus();
    QCOMPARE(d->focusWidget(), d->edg);
    d->hide();
    d->show();
    QCOMPARE(d->focusWidget(), d->edtitle);
  }

  // The edits reach the run through the expression builder: each edit in its own term,
  // blanks trimmed, the classification upper-cased byte by byte (also inside a Chinese
  // character). Nothing listens on the search host, so each run ends at its list
  // request and gives the start button back.
  void editsMakeTheExpressionOfTheRun_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("abs");
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("expression");
    // Each edit has its own term (a swap shows); the table itself is the builder's.
    QTest::newRow("all three") << U("a") << U("b") << U("c")
                               << U("名称=(a) and 摘要=(b) and 分类号=('%C%') ");
    QTest::newRow("abstract+class") << "" << U("结构") << U("b62") << U("摘要=(结构)and 分类号=('%B62%') ");
    QTest::newRow("blanks trimmed") << U("  电池 \t") << U(" ") << U("  h01m  ")
                                    << U("名称=(电池) and 分类号=('%H01M%') ");
    // 乤 is 81 61 in GBK; its second byte upper-cased gives 81 41, which is 丄.
    QTest::newRow("class bytes") << "" << "" << U("乤z") << U("分类号=('%丄Z%')");
  }

  void editsMakeTheExpressionOfTheRun() {
    QFETCH(QString, title);
    QFETCH(QString, abs);
    QFETCH(QString, cls);
    QFETCH(QString, expression);
    Tfrmquery* d = Open();
    d->mmo->setPlainText("earlier run");
    Fill(title, abs, cls);
    QTest::mouseClick(d->btstart, Qt::LeftButton);
    // The run hands its lines over through this thread, so nothing has arrived yet: the
    // memo is cleared (the dialog's own start line with it) and the button is held.
    QVERIFY(!d->btstart->isEnabled());
    QCOMPARE(d->mmo->toPlainText(), QString());
    QCOMPARE(QtText(d->Expression()), expression);
    WaitForRunEnd();
    // The worker's start line (ASCII comma), then the failed list request ends the run.
    QStringList lines = d->mmo->toPlainText().split('\n');
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].endsWith(U("\t开始检索,请稍候...")), qPrintable(lines[0]));
    QVERIFY(boxes_->shown.empty());
    QVERIFY(d->btstart->isEnabled());
  }

  void blankEditsAskForAConditionAndStartNothing() {
    Tfrmquery* d = Open();
    d->mmo->setPlainText("earlier run");
    Fill("   ", U("\t "), "  ");
    bool enabledAtMessage = true;
    msgbox::SetHandlerForTesting([&](msgbox::Kind kind, const QString& text, const QString& caption) {
      enabledAtMessage = d->btstart->isEnabled();
      boxes_->shown.push_back({kind, text, caption});
      return false;
    });
    QTest::mouseClick(d->btstart, Qt::LeftButton);
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Plain);
    QCOMPARE(boxes_->shown[0].text, U("对不起，您还没有输入检索条件！"));
    QCOMPARE(boxes_->shown[0].caption, U("中国专利文献检索下载器（Varnolt）"));
    QVERIFY(!enabledAtMessage);
    QVERIFY(d->btstart->isEnabled());
    // The start line stays; no run comes to add to it.
    QCOMPARE(d->mmo->toPlainText(), U("earlier run\n开始检索，请稍候..."));
    QTest::qWait(300);
    QCOMPARE(d->mmo->toPlainText(), U("earlier run\n开始检索，请稍候..."));
    QVERIFY(d->Expression().empty());
  }

  // Each box switches its own look-up of the run on, and only that one; every progress
  // line arrives while the start button is held, which comes back just before the
  // question.
  void eachBoxReachesItsOwnLookUp_data() {
    QTest::addColumn<QString>("box");
    QTest::newRow("legal status") << "cklaw";
    QTest::newRow("abstract") << "ckabs";
    QTest::newRow("first claim") << "ckzq";
    QTest::newRow("patentee") << "ckowner";
  }

  void eachBoxReachesItsOwnLookUp() {
    QFETCH(QString, box);
    DemoSite site({}, true);
    Tfrmquery* d = Open();
    d->findChild<QCheckBox*>(box)->setChecked(true);
    Fill(U("刹车"), U("结构简单"), U("b62"));  // six records
    std::vector<bool> enabledAtLine;
    connect(d->mmo, &QPlainTextEdit::textChanged, d, [&] { enabledAtLine.push_back(d->btstart->isEnabled()); });
    bool enabledAtQuestion = false;
    msgbox::SetHandlerForTesting([&](msgbox::Kind kind, const QString& text, const QString& caption) {
      if (kind == msgbox::Kind::Question) enabledAtQuestion = d->btstart->isEnabled();
      boxes_->shown.push_back({kind, text, caption});
      return false;
    });
    QTest::mouseClick(d->btstart, Qt::LeftButton);
    WaitForRunEnd();

    QStringList lines = d->mmo->toPlainText().split('\n');
    QCOMPARE(lines.size(), 2 + 6 + 1);
    QVERIFY(lines[1].endsWith(U("**共检索到6条匹配记录**")));
    QCOMPARE(lines.last(), U("处理完毕！"));
    QVERIFY(!enabledAtLine.empty());
    for (bool enabled : enabledAtLine) QVERIFY(!enabled);
    QVERIFY(enabledAtQuestion);
    QVERIFY(!boxes_->shown.empty());
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Question);

    int legalRequests = 0, detailRequests = 0;
    for (const DemoLogEntry& e : site.Log()) {
      if (e.target.find("FlztResult.jsp") != std::string::npos) ++legalRequests;
      if (e.method == "GET" && e.target.find("recid=") != std::string::npos) ++detailRequests;
    }
    const std::string report = ReadFileBytes(SearchReportPath(dir_->dir, d->Expression()));
    QCOMPARE(legalRequests, box == "cklaw" ? 6 : 0);
    QCOMPARE(detailRequests, box == "cklaw" ? 0 : 6);
    QCOMPARE(Count(report, G("摘要:")), box == "ckabs" ? 6 : 0);
    QCOMPARE(Count(report, G("首权项:")), box == "ckzq" ? 6 : 0);
    // Legal status and patentee read 未检索 unless their box was ticked.
    QCOMPARE(Count(report, G("<td>未检索</td>")), box == "cklaw" || box == "ckowner" ? 6 : 12);
  }

  // With OPS as the source: the number of records reaches the run, and a run the quota
  // cuts short says why in the memo.
  void opsRunReadsTheAskedNumberAndSaysWhyTheQuotaEndedIt() {
    TwoOpsRoles ops;
    ops.Use(ops.full);

    Tfrmquery* d = Open();
    QVERIFY(d->spmax->isVisible());
    Fill(U("电池"), "", "");
    d->spmax->setValue(3);
    d->btstart->click();
    WaitForRunEnd();
    const std::string report = ReadFileBytes(SearchReportPath(dir_->dir, d->Expression()));
    // Three records, one a row, whatever publications of theirs each row links.
    QCOMPARE(Count(report, "<tr class=\"detail\">"), 3);
    // The bar under the memo stands at the end of the run.
    QVERIFY(d->pbrecords->isVisible());
    QCOMPARE(d->pbrecords->value(), 3);
    QCOMPARE(d->pbrecords->maximum(), 3);

    // OPS's own fields reach the query; a date that does not read starts nothing.
    Fill("", "", "");
    d->edapplicant->setText(U("长江变速器"));
    d->edfrom->setText("2023-02-30");
    msgbox::SetHandlerForTesting([&](msgbox::Kind kind, const QString& text, const QString& caption) {
      boxes_->shown.push_back({kind, text, caption});
      return false;
    });
    const size_t shown = boxes_->shown.size();
    d->btstart->click();
    QCOMPARE(boxes_->shown.size(), shown + 1);
    QVERIFY2(boxes_->shown.back().text.startsWith(U("起始日期无法识别")), qPrintable(boxes_->shown.back().text));
    QVERIFY(d->btstart->isEnabled());
    d->edfrom->setText("2023");
    d->ckcollapse->setChecked(true);
    d->btstart->click();
    WaitForRunEnd();
    QCOMPARE(QtText(d->Expression()), U("pa all \"长江变速器\" and pn=CN and pd within \"20230101 20261231\"")
                                          .replace("2026", QString::number(QDate::currentDate().year())));

    ops.Use(ops.limited);
    d->cklaw->setChecked(true);
    d->btstart->click();
    WaitForRunEnd();
    const QString memo = d->mmo->toPlainText();
    QCOMPARE(memo.count(U("OPS 本小时的流量配额已用完")), 1);
  }
};

VARNOLT_QTEST_MAIN(FrmqueryTest)

#include "frmquery_test.moc"
