// Whole search runs through the program's real windows against the demo site: the dialog
// opened from the main window's toolbar, a run with every look-up, the question at its
// end answered Yes (report in the maximised main window) or No, and a run whose dialog
// was closed halfway. With VARNOLT_E2E_SHOTS set, screenshots go to that folder.
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <memory>

#include "base/files.h"
#include "shell/frmquery.h"
#include "search/getquery.h"
#include "shell/qttext.h"
#include "tests/e2e/e2esupport.h"

namespace {

Tfrmquery* Dialog() { return static_cast<Tfrmquery*>(frmquery); }

// The six records of 名称=(刹车) and 摘要=(结构简单) and 分类号=('%B62%') on the demo site.
void FillSixRecordSearch(Tfrmquery* d) {
  d->edtitle->setText(U("刹车"));
  d->edabs->setText(U("结构简单"));
  d->edg->setText(U(" b62 "));
}
const char kSixRecordExpression[] = "名称=(刹车) and 摘要=(结构简单) and 分类号=('%B62%') ";

}  // namespace

class SearchRunTest : public QObject {
  Q_OBJECT

  std::unique_ptr<E2EProgram> program_;
  std::vector<std::pair<QUrl, bool>> loads_;  // the main window's finished loads

  void Start() {
    program_ = std::make_unique<E2EProgram>();
    connect(frmmain->webb, &QWebEngineView::loadFinished, frmmain,
            [this](bool ok) { loads_.emplace_back(frmmain->webb->url(), ok); });
    // The start page first, so later loads are the run's own.
    QVERIFY(WaitFor([this] { return !loads_.empty(); }));
  }

  // Answers each message box with answer(kind, text), keeping what was shown.
  void AnswerWith(std::function<bool(msgbox::Kind, const QString&)> answer) {
    msgbox::SetHandlerForTesting([this, answer](msgbox::Kind kind, const QString& text, const QString& caption) {
      program_->boxes.shown.push_back({kind, text, caption});
      return answer(kind, text);
    });
  }

  // Opens the dialog with the main window's toolbar button, runs inside once it shows
  // and returns when its modal showing ends; false when it had to be closed by force.
  bool OpenFromToolbar(const std::function<void(Tfrmquery*)>& inside, int limitMs = 90000) {
    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, [&timedOut] {
      timedOut = true;
      Dialog()->reject();
    });
    guard.start(limitMs);
    QTimer::singleShot(0, Dialog(), [inside] { inside(Dialog()); });
    QTest::mouseClick(frmmain->SpeedButton4, Qt::LeftButton);
    return !timedOut;
  }

  bool ReportShown(const TPath& path) {
    const QUrl url = QUrl::fromLocalFile(QtPath(path));
    return WaitFor([&] {
      for (const auto& [u, ok] : loads_)
        if (u == url && ok) return true;
      return false;
    });
  }

 private slots:
  void cleanup() {
    RunPumping([] { getquery::WaitAllDone(); });
    program_.reset();
    loads_.clear();
  }

  void everyLookUpAnsweredYesShowsTheReportMaximised() {
    Start();
    bool dialogShownAtQuestion = false;
    int linesAtQuestion = 0;
    AnswerWith([&](msgbox::Kind kind, const QString&) {
      if (kind != msgbox::Kind::Question) return false;
      Tfrmquery* d = Dialog();
      dialogShownAtQuestion = d->isVisible();
      linesAtQuestion = d->mmo->blockCount();
      if (!ShotsDirectory().isEmpty()) {
        Shot(d, "search-dialog-run");
        // The recorder stands in for the box; show the real one with the same content.
        QMessageBox box(QMessageBox::Question, U("确认操作"), U("请问您要查看检索结果吗？"),
                        QMessageBox::Yes | QMessageBox::No, d);
        box.show();
        if (QTest::qWaitForWindowExposed(&box)) {
          QTest::qWait(200);
          SaveShot(box.grab(), "search-question");
        }
        box.close();
      }
      return true;
    });
    const bool closedByItself = OpenFromToolbar([](Tfrmquery* d) {
      FillSixRecordSearch(d);
      for (QCheckBox* box : {d->cklaw, d->ckabs, d->ckzq, d->ckowner}) box->setChecked(true);
      QTest::mouseClick(d->btstart, Qt::LeftButton);
    });
    QVERIFY(closedByItself);
    QVERIFY(!Dialog()->isVisible());

    const auto& shown = program_->boxes.shown;
    QCOMPARE(shown.size(), size_t(1));
    QCOMPARE(shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(shown[0].text, U("请问您要查看检索结果吗？"));
    QCOMPARE(shown[0].caption, U("确认操作"));
    QVERIFY(dialogShownAtQuestion);
    // All lines are in when the question comes: start, count, six records, end.
    QCOMPARE(linesAtQuestion, 2 + 6 + 1);
    QCOMPARE(Dialog()->mmo->toPlainText().split('\n').last(), U("处理完毕！"));
    QVERIFY(Dialog()->btstart->isEnabled());

    const std::string expression = G(kSixRecordExpression);
    QCOMPARE(Dialog()->Expression(), expression);
    const TPath path = SearchReportPath(program_->Root(), expression);
    QVERIFY(FileExists(path));
    const std::string report = ReadFileBytes(path);
    QCOMPARE(Count(report, "class=\"divtd\""), 6);
    QCOMPARE(Count(report, G("摘要:")), 6);
    QCOMPARE(Count(report, G("首权项:")), 6);
    QCOMPARE(Count(report, G("未检索")), 0);

    QVERIFY(frmmain->isMaximized());
    QVERIFY(ReportShown(path));
    const QString text = PageText();
    QVERIFY2(text.contains(U("检索式：") + U(kSixRecordExpression).trimmed()), qPrintable(text.left(300)));
    QVERIFY(text.contains(U("检索时间：")));
    QCOMPARE(text.count(U("首权项:")), 6);
    QVERIFY2(frmmain->webb->title().startsWith(U("名称=(刹车) and 摘要=(结构简单)")),
             qPrintable(frmmain->webb->title()));
    Shot(frmmain, "search-report-main-window");
  }

  void answeringNoKeepsTheDialogAndTheBrowser() {
    Start();
    const QUrl before = frmmain->webb->url();
    QWidget* focusAfter = nullptr;
    bool shownAfter = false;
    AnswerWith([&](msgbox::Kind kind, const QString&) {
      if (kind == msgbox::Kind::Plain) {
        // Looked at once the handler that showed this box has returned, then closed.
        QTimer::singleShot(0, Dialog(), [&] {
          focusAfter = Dialog()->focusWidget();
          shownAfter = Dialog()->isVisible();
          Dialog()->reject();
        });
      }
      return false;
    });
    QVERIFY(OpenFromToolbar([](Tfrmquery* d) {
      FillSixRecordSearch(d);
      d->edg->setFocus();
      d->btstart->click();
    }));

    const auto& shown = program_->boxes.shown;
    QCOMPARE(shown.size(), size_t(2));
    QCOMPARE(shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(shown[1].kind, msgbox::Kind::Plain);
    QCOMPARE(shown[1].text, U("检索记录已保存，查看程序首页即可！"));
    QCOMPARE(shown[1].caption, U("中国专利文献检索下载器（Varnolt）"));
    QVERIFY(shownAfter);
    QCOMPARE(focusAfter, static_cast<QWidget*>(Dialog()->edtitle));
    // The report is there for the records index; the browser has not moved.
    QVERIFY(FileExists(SearchReportPath(program_->Root(), G(kSixRecordExpression))));
    QTest::qWait(300);
    QCOMPARE(frmmain->webb->url(), before);
    QCOMPARE(loads_.size(), size_t(1));
    QVERIFY(!frmmain->isMaximized());
  }

  void closingTheDialogHalfwayStillAsksAtTheEnd() {
    Start();
    bool dialogShownAtQuestion = true;
    AnswerWith([&](msgbox::Kind kind, const QString&) {
      if (kind == msgbox::Kind::Question) dialogShownAtQuestion = Dialog()->isVisible();
      return true;
    });
    int linesWhenClosed = 0;
    QVERIFY(OpenFromToolbar([&linesWhenClosed](Tfrmquery* d) {
      d->edtitle->setText(U("刹车"));  // fourteen records
      d->cklaw->setChecked(true);
      // Each line is handed over while the run waits, so closing here is mid-run.
      QObject::connect(d->mmo, &QPlainTextEdit::textChanged, d, [d, &linesWhenClosed] {
        if (linesWhenClosed == 0 && d->mmo->toPlainText().contains(U("开处理第1条记录"))) {
          linesWhenClosed = d->mmo->blockCount();
          d->reject();
        }
      });
      d->btstart->click();
    }));
    QCOMPARE(linesWhenClosed, 3);
    QVERIFY(!Dialog()->isVisible());
    QVERIFY(program_->boxes.shown.empty());  // the run is still going

    QVERIFY(WaitFor([this] { return !program_->boxes.shown.empty(); }));
    QCOMPARE(program_->boxes.shown[0].text, U("请问您要查看检索结果吗？"));
    QVERIFY(!dialogShownAtQuestion);
    QCOMPARE(Dialog()->mmo->blockCount(), 2 + 14 + 1);
    const TPath path = SearchReportPath(program_->Root(), G("名称=(刹车) "));
    QVERIFY(ReportShown(path));
    QVERIFY(frmmain->isMaximized());
    QVERIFY(Dialog()->btstart->isEnabled());
    QVERIFY(!Dialog()->isVisible());
  }
};

VARNOLT_QTEST_MAIN(SearchRunTest)

#include "search_run_test.moc"
