// The main window on a real display (Xvfb): controls, menus, start page, resize rule,
// navigation buttons, records index, directory choice, cleaning, lookup, update offer,
// the captions the display shows, roots at the top of the file system, PDF links.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <sys/stat.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "base/datadir.h"
#include "base/files.h"
#include "shell/frmdown.h"
#include "shell/frmquery.h"
#include "shell/about.h"
#include "shell/application.h"
#include "shell/dirchooser.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/qttext.h"
#include "shell/updateworker.h"
#include "shell/widgets.h"
#include "tests/support/demosite.h"
#include "windowtest.h"

namespace {

// A dialog that counts how often it was shown and closes itself at once.
class CountingDialog : public QDialog {
 public:
  int shows = 0;

 protected:
  void showEvent(QShowEvent* e) override {
    ++shows;
    QDialog::showEvent(e);
    QTimer::singleShot(0, this, &QDialog::reject);
  }
};

// The page's text as the browser shows it (empty after 10 s without an answer).
QString PageText(QWebEngineView* view) {
  auto text = std::make_shared<QString>();
  auto done = std::make_shared<bool>(false);
  view->page()->toPlainText([text, done](const QString& t) {
    *text = t;
    *done = true;
  });
  WaitFor([done] { return *done; }, 10000);
  return *text;
}

// The caption the display shows for a window: its _NET_WM_NAME on the X server.
QString X11Title(QWidget* window) {
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (!x11) return "(not on X11)";
  xcb_connection_t* c = x11->connection();
  auto atom = [c](const char* name) {
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_NONE);
    std::free(r);
    return a;
  };
  xcb_get_property_reply_t* p = xcb_get_property_reply(
      c, xcb_get_property(c, 0, xcb_window_t(window->winId()), atom("_NET_WM_NAME"), atom("UTF8_STRING"), 0, 1024),
      nullptr);
  QString title;
  if (p) title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(p)), xcb_get_property_value_length(p));
  std::free(p);
  return title;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<BoxRecorder> boxes_;
  std::unique_ptr<Tfrmmain> w_;

  Tfrmmain* Open() {
    w_ = std::make_unique<Tfrmmain>();
    frmmain = w_.get();
    w_->show();
    return w_.get();
  }
  TPath Dir() const { return dir_->dir; }

 private slots:
  void init() {
    dir_ = std::make_unique<TestProgramDirectory>();
    boxes_ = std::make_unique<BoxRecorder>();
  }

  void cleanup() {
    frmmain = nullptr;
    w_.reset();
    QVERIFY(checkupdate::WaitForAll(20000));
    boxes_.reset();
    dir_.reset();
  }

  void controlsByNameWithGeometryHintsAndCursors() {
    Tfrmmain* w = Open();
    QCOMPARE(w->objectName(), U("frmmain"));
    QCOMPARE(w->windowTitle(), U("中国专利文献检索下载器（Varnolt）"));
    QCOMPARE(w->version, 20080106);
    QCOMPARE(w->size(), QSize(977, 640));
    QCOMPARE(w->findChild<QWidget*>("Panel2")->height(), 31);
    struct Expect {
      const char* name;
      QRect geometry;
      const char* hint;
    } buttons[] = {
        {"BtnBack", {8, 4, 23, 23}, "后退"},          {"BtnNext", {40, 4, 23, 23}, "前进"},
        {"SpeedButton1", {72, 4, 23, 22}, "刷新"},    {"SpeedButton2", {104, 4, 23, 22}, "停止"},
        {"SpeedButton3", {136, 4, 23, 22}, "检索下载记录"}, {"SpeedButton4", {176, 4, 23, 22}, "检索"},
        {"SpeedButton5", {208, 4, 23, 22}, "下载"},    {"SpeedButton6", {248, 4, 23, 22}, "资料库"},
        {"SpeedButton7", {280, 4, 23, 22}, "导出检索报告的记录"}, {"SpeedButton8", {312, 4, 23, 22}, "把显示的页面另存为PDF"},
    };
    for (const Expect& e : buttons) {
      auto* b = w->findChild<QToolButton*>(e.name);
      QVERIFY2(b, e.name);
      QCOMPARE(b->geometry(), e.geometry);
      QCOMPARE(b->toolTip(), U(e.hint));
      QCOMPARE(b->cursor().shape(), Qt::PointingHandCursor);
      QVERIFY(b->autoRaise());
      // Export waits for a search report to be shown.
      QCOMPARE(b->isEnabled(), std::strcmp(e.name, "SpeedButton7") != 0);
      QVERIFY(b->icon().availableSizes().contains(QSize(16, 16)));
      QCOMPARE(b->icon().pixmap(16, 16).toImage().depth(), 32);
    }
    QCOMPARE(w->findChild<QWidget*>("Bevel1")->geometry(), QRect(168, 1, 33, 33));
    auto* pad = w->findChild<QWidget*>("floatpad");
    QCOMPARE(pad->geometry(), QRect(686, 1, 281, 38));
    auto* cb = pad->findChild<QComboBox*>("optioncb");
    QCOMPARE(cb->geometry(), QRect(8, 4, 73, 21));
    QVERIFY(cb->isEditable());
    QCOMPARE(cb->count(), 2);
    QCOMPARE(cb->itemText(0), U("翻译单词"));
    QCOMPARE(cb->itemText(1), U("谷歌搜索"));
    QCOMPARE(cb->currentText(), U("谷歌搜索"));
    auto* edit = pad->findChild<QLineEdit*>("ch2en");
    QCOMPARE(edit->geometry(), QRect(88, 4, 153, 21));
    QVERIFY(edit->text().isEmpty());
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    edit->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(edit));
    QTest::keyClick(edit, Qt::Key_Tab);
    QTRY_VERIFY(QApplication::focusWidget() == cb || QApplication::focusWidget() == cb->lineEdit());
    auto* image = pad->findChild<TClickLabel*>("Image1");
    QCOMPARE(image->geometry(), QRect(248, 2, 25, 25));
    QCOMPARE(image->toolTip(), U("开始"));
    QCOMPARE(image->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(image->pixmap().size(), QSize(24, 24));
    QVERIFY(w->findChild<QWidget*>("webb"));
    auto* bar = w->findChild<QStatusBar*>("StatusBar1");
    QCOMPARE(bar->height(), 19);
    QCOMPARE(w->StatusPanel0->width(), 50);
    QVERIFY(w->StatusPanel0->text().isEmpty());
    QCOMPARE(w->StatusPanel1->text(), U("文件保存路径:  ") + QtPath(Dir()) + "/data");
    // The path takes the bar up to the source at its right end.
    QVERIFY(w->StatusPanel2->geometry().right() > 900);
    QVERIFY(w->StatusPanel1->geometry().right() > 750);
    QVERIFY(w->StatusPanel1->geometry().right() < w->StatusPanel2->geometry().left());
  }

  void menusInOrderWithCaptionsAndSeparators() {
    Tfrmmain* w = Open();
    QStringList top;
    for (QAction* a : w->menuBar()->actions()) top << a->objectName() + "=" + a->text();
    QCOMPARE(top, QStringList({U("N2=操作"), U("N1=设置"), U("N9=清理"), U("N5=帮助")}));
    auto items = [w](const char* menu) {
      QStringList out;
      for (QAction* a : w->findChild<QMenu*>(menu)->actions())
        out << a->objectName() + (a->isSeparator() ? QString("|") : "=" + a->text());
      return out;
    };
    QCOMPARE(items("N2"), QStringList({U("N3=检索"), U("N4=下载"), U("NWatch=监视…"), U("N22|"), U("NLibrary=资料库"),
                                       U("NExport=导出检索报告…"), U("NSavePdf=另存为PDF…")}));
    QCOMPARE(items("N1"), QStringList({U("N6=设置下载目录"), U("N7=打开下载目录"), U("N21|"), U("NSource=数据来源"),
                                       U("NOpsAccount=EPO OPS 帐户…")}));
    QCOMPARE(items("NSource"), QStringList({U("NSourceSite=专利检索网站"), U("NSourceOps=EPO OPS")}));
    QCOMPARE(items("N9"),
             QStringList({U("N8=清理目录"), U("N15|"), U("N13=清理检索目录"), U("PDF1=清理PDF目录"), U("N14=清理临时目录")}));
    QCOMPARE(items("N5"),
             QStringList({U("nabt=关于程序"), U("N10=作者博客"), U("N16=专利网站"), U("N11|"), U("N12=检查版本")}));
    QCOMPARE(items("N16"), QStringList({U("N17=中国知识产权局"), U("N18=英国Derwent"), U("N19=欧洲专利局"),
                                        U("N20=日本专利局"), U("SPO1=美国专利局"), U("WIPO1=WIPO")}));
  }

  // The maker's home, which nobody serves here: the engine's error page is in Chinese.
  void startPageIsMakerHomeWithoutIndex() {
    Tfrmmain* w = Open();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/"), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(PageText(w->webb).contains(U("无法访问此网站")), 15000);
  }

  void startPageIsIndexWhenPresentBelowTheSettingsRoot() {
    TPath root = Dir() + "/root";
    QVERIFY(ForceDirectories(root + "/data"));
    WriteFileBytes(root + "/data/index.html", "<html><body>kept</body></html>");
    datadir::WriteRootSetting(root);
    Tfrmmain* w = Open();
    QCOMPARE(datadir::Root(), root);
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl::fromLocalFile(QtPath(root + "/data/index.html")), 15000);
  }

  void resizeKeepsThePadAtTheRightWithoutLowerBound() {
    Tfrmmain* w = Open();
    w->resize(1200, 700);
    QTRY_COMPARE(w->floatpad->x(), 1200 - 281 - 10);
    w->resize(200, 500);
    QTRY_COMPARE(w->width(), 200);
    QCOMPARE(w->floatpad->x(), -91);
    QCOMPARE(w->Panel2->width(), 200);
  }

  void backAndForwardWithoutHistoryAreSilent() {
    Tfrmmain* w = Open();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/"), 15000);
    w->BtnBackClick();
    w->BtnNextClick();
    QVERIFY(boxes_->shown.empty());
    QCOMPARE(w->webb->url(), QUrl("http://127.0.0.1:9/"));
    QVERIFY_THROWS_EXCEPTION(EBrowserError, w->webb->GoBack());
  }

  void commandStateFollowsTheHistory() {
    Tfrmmain* w = Open();
    w->webbCommandStateChange(2, false);
    QVERIFY(!w->BtnBack->isEnabled());
    QVERIFY(w->BtnNext->isEnabled());
    w->webbCommandStateChange(1, false);
    QVERIFY(!w->BtnNext->isEnabled());
    w->webbCommandStateChange(3, true);  // other commands are ignored
    QVERIFY(!w->BtnBack->isEnabled() && !w->BtnNext->isEnabled());

    WriteFileBytes(Dir() + "/a.html", "<html><body>a</body></html>");
    WriteFileBytes(Dir() + "/b.html", "<html><body>b</body></html>");
    QSignalSpy loads(w->webb, &QWebEngineView::loadFinished);
    w->webb->Navigate(QtPath(Dir() + "/a.html"));
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl::fromLocalFile(QtPath(Dir() + "/a.html")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(loads.count() >= 1, 15000);
    w->webb->Navigate(QtPath(Dir() + "/b.html"));
    QTRY_VERIFY_WITH_TIMEOUT(w->BtnBack->isEnabled(), 15000);
    QVERIFY(!w->BtnNext->isEnabled());
    QTest::mouseClick(w->BtnBack, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl::fromLocalFile(QtPath(Dir() + "/a.html")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(w->BtnNext->isEnabled(), 15000);
  }

  void scriptsRunOnWebPagesOnlyNotOnLocalPages() {
    Tfrmmain* w = Open();
    const char page[] = "<html><head><title>quiet</title></head><body><script>document.title='ran'</script></body></html>";
    WriteFileBytes(Dir() + "/s.html", page);
    QSignalSpy loads(w->webb, &QWebEngineView::loadFinished);
    // Only our page loads successfully (the start page has nobody listening).
    auto loaded = [&loads] {
      int ok = 0;
      for (const QList<QVariant>& args : loads) ok += args.at(0).toBool();
      return ok;
    };
    w->webb->Navigate(QtPath(Dir() + "/s.html"));
    QTRY_COMPARE_WITH_TIMEOUT(loaded(), 1, 15000);
    QCOMPARE(w->webb->url(), QUrl::fromLocalFile(QtPath(Dir() + "/s.html")));
    QCOMPARE(w->webb->title(), QString("quiet"));
    w->webb->Navigate(QString("data:text/html,") + page);
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->title(), QString("ran"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(loaded(), 2, 15000);
    w->BtnBackClick();
    QTRY_COMPARE_WITH_TIMEOUT(loaded(), 3, 15000);
    QCOMPARE(w->webb->url(), QUrl::fromLocalFile(QtPath(Dir() + "/s.html")));
    QCOMPARE(w->webb->title(), QString("quiet"));
  }

  void recordsButtonWritesAndShowsTheIndexSorted() {
    QVERIFY(ForceDirectories(Dir() + "/data/query"));
    for (const char* name : {"r.html", "\xb5\xe7\xb3\xd8.html", "Q.html"})  // 电池.html in GBK
      WriteFileBytes(Dir() + "/data/query/" + name, "x");
    Tfrmmain* w = Open();
    QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);
    TPath page = Dir() + "/data/index.html";
    QVERIFY(FileExists(page));
    const std::string html = ReadFileBytes(page);
    const size_t r = html.find("<li><a href=\"" + Dir().Bytes() + "/data/query/r.html\">r.html</a></li>");
    QVERIFY(r != std::string::npos);
    QVERIFY(html.find(">Q.html<") < r);
    QVERIFY(r < html.find(">\xb5\xe7\xb3\xd8.html<"));
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl::fromLocalFile(QtPath(page)), 15000);
    // No box but the start's offer to import the reports into the library.
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].caption, U("导入资料库"));
  }

  // A fresh root has no data folder yet: the first click makes it and shows the index
  // with its two empty headings.
  void recordsButtonOnAFreshRootShowsTheEmptyIndex() {
    Tfrmmain* w = Open();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/"), 15000);
    QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);
    QVERIFY(boxes_->shown.empty());
    const TPath page = Dir() + "/data/index.html";
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl::fromLocalFile(QtPath(page)), 15000);
    const std::string html = ReadFileBytes(page);
    QCOMPARE(Count(html, "notetitle"), 2);
    QCOMPARE(Count(html, "<li>"), 0);
  }

  void chooserCancelledChangesNothing() {
    Tfrmmain* w = Open();
    QString status = w->StatusPanel1->text();
    QString start;
    OnNextModal([&start](QWidget* m) {
      auto* chooser = qobject_cast<QFileDialog*>(m);
      if (chooser) start = chooser->directory().absolutePath();
      static_cast<QDialog*>(m)->reject();
    });
    w->N6Click();
    QCOMPARE(start, QtPath(Dir()));
    QVERIFY(!FileExists(Dir() + "/savefile.ini"));
    QCOMPARE(datadir::Root(), Dir());
    QCOMPARE(w->StatusPanel1->text(), status);
  }

  void chooserCreatesATypedDirectoryWithParentsOnYes() {
    Tfrmmain* w = Open();
    TPath chosen = Dir() + "/new/deeper";
    boxes_->answers = {false, true};  // No keeps the chooser open; Yes creates
    OnNextModal([&](QWidget* m) {
      auto* chooser = static_cast<TDirectoryChooser*>(m);
      chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QtPath(chosen));
      chooser->accept();
      QVERIFY(chooser->isVisible());
      chooser->accept();
    });
    w->N6Click();
    QCOMPARE(boxes_->shown.size(), size_t(2));
    QCOMPARE(boxes_->shown[0].text, U("The specified directory does not exist. Create it?"));
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Question);
    QVERIFY(DirectoryExists(chosen + "/data"));
    QCOMPARE(ReadFileBytes(Dir() + "/savefile.ini"), "[savefile]\r\nsavepath=" + chosen.Bytes() + "\r\n");
    QCOMPARE(datadir::Root(), chosen);
    QCOMPARE(w->StatusPanel1->text(), U("下载文件目录将存放到:  ") + QtPath(chosen) + "/data");
  }

  void unwritableSettingsKeepTheOldRootAndReachTheErrorDisplay() {
    Tfrmmain* w = Open();
    QVERIFY(CreateDir(Dir() + "/savefile.ini"));  // a folder where the file should go
    QVERIFY(CreateDir(Dir() + "/elsewhere"));
    QString status = w->StatusPanel1->text();
    OnNextModal([&](QWidget* m) {
      auto* chooser = static_cast<TDirectoryChooser*>(m);
      chooser->findChild<QLineEdit*>("fileNameEdit")->setText(QtPath(Dir() + "/elsewhere"));
      chooser->accept();
    });
    // From the event loop, as a menu click runs it.
    QTimer::singleShot(0, w->N6, &QAction::trigger);
    QTRY_COMPARE_WITH_TIMEOUT(boxes_->shown.size(), size_t(1), 10000);
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Plain);
    QVERIFY2(boxes_->shown[0].text.contains("savefile.ini"), qPrintable(boxes_->shown[0].text));
    QVERIFY2(boxes_->shown[0].text.startsWith(U("无法创建文件 ")), qPrintable(boxes_->shown[0].text));
    QCOMPARE(datadir::Root(), Dir());
    QCOMPARE(w->StatusPanel1->text(), status);
    QVERIFY(!DirectoryExists(Dir() + "/elsewhere/data"));
  }

  // Each item first asks, naming its folder; No leaves everything. Yes cleans, and the
  // closing message counts the files that stayed.
  void cleaningAsksFirstAndCountsWhatStayed() {
    QVERIFY(ForceDirectories(Dir() + "/data/pdf/sub"));
    WriteFileBytes(Dir() + "/data/pdf/sub/x.pdf", "x");
    WriteFileBytes(Dir() + "/data/pdf/ro.pdf", "x");
    QVERIFY(::chmod((Dir() + "/data/pdf/ro.pdf").c_str(), 0444) == 0);
    WriteFileBytes(Dir() + "/data/index.html", "x");
    Tfrmmain* w = Open();
    const QString done = U("您已经成功清理了所有记录文件！");
    boxes_->answers = {false};
    w->PDF1->trigger();
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(boxes_->shown[0].caption, U("确认操作"));
    QCOMPARE(boxes_->shown[0].text, U("确定要删除目录“") + QtPath(Dir() + "/data/pdf") + U("”中的所有文件吗？"));
    QVERIFY(FileExists(Dir() + "/data/pdf/sub/x.pdf"));

    boxes_->shown.clear();
    boxes_->answers = {true};
    w->PDF1->trigger();
    QCOMPARE(boxes_->shown.size(), size_t(2));
    QCOMPARE(boxes_->shown[1].kind, msgbox::Kind::Plain);
    QCOMPARE(boxes_->shown[1].text, U("有 1 个文件未能删除（例如只读文件），其余记录文件已清理。"));
    QVERIFY(!DirectoryExists(Dir() + "/data/pdf/sub"));
    QVERIFY(FileExists(Dir() + "/data/pdf/ro.pdf"));
    QVERIFY(FileExists(Dir() + "/data/index.html"));
    QVERIFY(::chmod((Dir() + "/data/pdf/ro.pdf").c_str(), 0644) == 0);

    boxes_->shown.clear();
    boxes_->answers = {true, true, true};  // the question, its message, the next question
    w->N8->trigger();
    QVERIFY(DirectoryExists(Dir() + "/data"));
    QVERIFY(ListDirectory(Dir() + "/data").empty());
    w->N14->trigger();  // its folder is gone: still a success
    QCOMPARE(boxes_->shown.size(), size_t(4));
    QVERIFY(boxes_->shown[0].text.contains(QtPath(Dir() + "/data") + U("”")));
    QCOMPARE(boxes_->shown[1].text, done);
    QVERIFY(boxes_->shown[2].text.contains(QtPath(Dir() + "/data/temp")));
    QCOMPARE(boxes_->shown[3].text, done);
  }

  void lookupByEnterAndByPicture() {
    Tfrmmain* w = Open();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/"), 15000);
    w->ch2en->setText("   ");
    QTest::keyClick(w->ch2en, Qt::Key_Return);
    QTest::qWait(200);
    QCOMPARE(w->webb->url(), QUrl("http://127.0.0.1:9/"));

    w->optioncb->setCurrentText(U("翻译单词"));
    w->ch2en->setText("  abc ");
    QTest::keyClick(w->ch2en, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url().toString(), QString("http://127.0.0.1:9/mini.php?q=abc"), 15000);

    w->optioncb->setCurrentText(U("谷歌搜索"));
    w->ch2en->setText("x&y");
    QTest::mouseClick(w->Image1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w->webb->url().toString().startsWith("http://127.0.0.1:9/custom?q=x&y&sa=%CB%D1%CB%F7&"), 15000);
    QCOMPARE(w->webb->url().query(QUrl::FullyEncoded).section('&', 0, 1), QString("q=x&y"));
  }

  // The site is told GB2312, so the word travels as its GBK bytes, in both modes, and
  // the page shows it as typed. Typing a mode of one's own adds no item to the box.
  void lookupSendsTheWordAsGbkAndTheModeBoxKeepsTwoItems() {
    DemoSite site({}, true);
    Tfrmmain* w = Open();
    QLineEdit* mode = w->optioncb->lineEdit();
    mode->selectAll();
    QTest::keyClicks(mode, "own");
    QTest::keyClick(mode, Qt::Key_Return);
    QCOMPARE(w->optioncb->count(), 2);
    QCOMPARE(w->optioncb->currentText(), QString("own"));

    auto lookups = [&site](const std::string& path) {
      std::vector<std::string> targets;
      for (const DemoLogEntry& e : site.Log())
        if (e.target.rfind(path, 0) == 0) targets.push_back(e.target);
      return targets;
    };
    w->ch2en->setText(U(" 隔膜 "));
    QTest::keyClick(w->ch2en, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(lookups("/custom?").size(), size_t(1), 15000);
    QVERIFY2(lookups("/custom?")[0].rfind("/custom?q=%B8%F4%C4%A4&sa=%CB%D1%CB%F7&client=", 0) == 0,
             lookups("/custom?")[0].c_str());
    auto shows = [w](const char* heading) {
      const QString text = PageText(w->webb);
      return text.contains(U(heading)) && text.contains(U("隔膜"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(shows("网页搜索"), 15000);

    w->optioncb->setCurrentIndex(0);
    QTest::mouseClick(w->Image1, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(lookups("/mini.php?").size(), size_t(1), 15000);
    QCOMPARE(lookups("/mini.php?")[0], std::string("/mini.php?q=%B8%F4%C4%A4"));
    QTRY_VERIFY_WITH_TIMEOUT(shows("词典查询"), 15000);
    QCOMPARE(w->optioncb->count(), 2);
  }

  // What the display shows as each window's and box's caption is exactly its caption,
  // nothing appended; and a box shows site text as text (the offer's "<b>").
  void everyWindowAndBoxCarriesExactlyItsCaption() {
    Tfrmmain* w = Open();
    Tfrmquery query;
    Tfrmdown down;
    Tfrmabout about;
    const std::pair<QWidget*, QString> windows[] = {{w, U("中国专利文献检索下载器（Varnolt）")},
                                                    {&query, U("检索专利")},
                                                    {&down, U("下载文档")},
                                                    {&about, U("关于中国专利文献检索下载器（Varnolt）")}};
    for (auto [window, caption] : windows) {
      window->show();
      QVERIFY(QTest::qWaitForWindowExposed(window));
      QTRY_COMPARE(X11Title(window), caption);
      if (window != w) window->hide();
    }

    boxes_.reset();  // the program's own boxes from here on
    struct Seen {
      QString title, text;
      Qt::TextFormat format = Qt::AutoText;
    };
    auto answerNext = [](Seen& seen) {
      OnNextModal([&seen](QWidget* m) {
        auto* box = qobject_cast<QMessageBox*>(m);
        if (!box) return;
        WaitFor([&] { return !X11Title(box).isEmpty(); }, 5000);
        seen.title = X11Title(box);
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        seen.text = label ? label->text() : QString();
        seen.format = label ? label->textFormat() : Qt::AutoText;
        box->done(box->buttons().contains(box->button(QMessageBox::No)) ? QMessageBox::No : QMessageBox::Ok);
      });
    };
    Seen offer, clean, plain;
    // GBK "<b>新版本</b>" as the offer's question.
    WriteFileBytes(Dir() + "/config.ini", "[update]\r\nver=20090101\r\nurl=http://x/\r\nmsg=<b>\xd0\xc2\xb0\xe6\xb1\xbe</b>\r\n");
    answerNext(offer);
    w->N12->trigger();
    answerNext(clean);
    w->N14->trigger();
    answerNext(plain);
    msgbox::Show(w, U("<i>x</i>"));
    QCOMPARE(offer.title, U("系统提示消息"));
    QCOMPARE(offer.text, U("<b>新版本</b>"));
    QCOMPARE(offer.format, Qt::PlainText);
    QCOMPARE(clean.title, U("确认操作"));
    QCOMPARE(plain.title, U("中国专利文献检索下载器（Varnolt）"));
    QCOMPARE(plain.format, Qt::PlainText);
  }

  // A root written with a leading "//" (the same folder to the system) and the
  // file-system root itself: pages load as local files, never as a network host.
  void rootsAtTheTopOfTheFileSystemLoadTheirPages() {
    QCOMPARE(TWebBrowser::AddressOf(QtPath(datadir::IndexPagePath(TPath::FromSystem("/")))),
             QUrl("file:///data/index.html"));
    const TPath root = TPath::FromSystem("/" + Dir().Bytes() + "/root");
    QVERIFY(ForceDirectories(Dir() + "/root/data/query"));
    WriteFileBytes(Dir() + "/root/data/query/r.html", "<html><body>report</body></html>");
    datadir::WriteRootSetting(root);
    Tfrmmain* w = Open();
    QSignalSpy loads(w->webb, &QWebEngineView::loadFinished);
    QTest::mouseClick(w->SpeedButton3, Qt::LeftButton);
    const QUrl index = QUrl::fromLocalFile(QtPath(Dir() + "/root/data/index.html"));
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), index, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!loads.isEmpty() && loads.last().at(0).toBool(), 15000);
    QVERIFY(PageText(w->webb).contains("r.html"));
    const std::string html = ReadFileBytes(Dir() + "/root/data/index.html");
    QVERIFY2(html.find("href=\"" + Dir().Bytes() + "/root/data/query/r.html\"") != std::string::npos, html.c_str());
    w_.reset();
    QVERIFY(checkupdate::WaitForAll(20000));
    w = Open();  // the start page is now the index
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), index, 15000);
  }

  // A PDF link opens in the desktop's PDF program; with none set up, a box says so and
  // names the file.
  void pdfWithoutAViewerSaysSo() {
    const TPath xdg = Dir() + "/xdg";
    QVERIFY(ForceDirectories(xdg + "/data/applications"));
    ScopedEnv configHome("XDG_CONFIG_HOME", (xdg + "/config").Bytes()), configDirs("XDG_CONFIG_DIRS", (xdg + "/etc").Bytes()),
        dataHome("XDG_DATA_HOME", (xdg + "/data").Bytes()), dataDirs("XDG_DATA_DIRS", (xdg + "/share").Bytes()),
        desktop("XDG_CURRENT_DESKTOP", std::nullopt);
    const TPath pdf = Dir().Entry("一种电池.pdf");
    WriteFileBytes(pdf, "%PDF-1.4\n%%EOF\n");
    Tfrmmain* w = Open();
    UrlCatcher urls;
    w->webb->Navigate(QtPath(pdf));
    QTRY_COMPARE_WITH_TIMEOUT(boxes_->shown.size(), size_t(1), 15000);
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Plain);
    QCOMPARE(boxes_->shown[0].text, U("系统中没有设置打开PDF文件的程序，无法打开文件：\n") + QtPath(pdf));
    QVERIFY(urls.opened.empty());

    WriteFileBytes(xdg + "/data/applications/viewer.desktop",
                   "[Desktop Entry]\nType=Application\nName=Viewer\nExec=true %f\nMimeType=application/pdf;\n");
    w->webb->Navigate(QtPath(pdf));
    QTRY_COMPARE_WITH_TIMEOUT(urls.opened.size(), size_t(1), 15000);
    QCOMPARE(urls.opened[0], QUrl::fromLocalFile(QtPath(pdf)));
    QCOMPARE(boxes_->shown.size(), size_t(1));
  }

  void helpLinksShowInTheBrowser() {
    Tfrmmain* w = Open();
    w->WIPO1->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/portal/index.html.zh"), 15000);
    w->N17->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w->webb->url(), QUrl("http://127.0.0.1:9/"), 15000);
  }

  void checkversionOutcomes() {
    Tfrmmain* w = Open();
    UrlCatcher urls;
    const TPath ini = Dir() + "/config.ini";
    auto check = [&](const std::string& content, std::deque<bool> answers) {
      WriteFileBytes(ini, content);
      boxes_->shown.clear();
      boxes_->answers = answers;
      w->N12->trigger();
    };
    const QString upToDate = U("您使用的已经是最新版本，暂时不需要升级！");

    QFile::remove(QtPath(ini));
    boxes_->shown.clear();
    w->Checkversion();
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].text, upToDate);

    check("[update]\r\nver=20080106\r\nurl=http://x/\r\nmsg=m\r\n", {});
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].text, upToDate);

    // GBK "有新版本" as the question; No ends it.
    check("[update]\r\nver=20080107\r\nurl=http://x/new\r\nmsg=\xd3\xd0\xd0\xc2\xb0\xe6\xb1\xbe\r\n", {false});
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(boxes_->shown[0].text, U("有新版本"));
    QCOMPARE(boxes_->shown[0].caption, U("系统提示消息"));
    QVERIFY(urls.opened.empty());

    check("[update]\r\nver=0x1326E7B\r\nurl=http://x/new\r\n", {true});
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QCOMPARE(boxes_->shown[0].text, QString());
    QCOMPARE(urls.opened.size(), size_t(1));
    QCOMPARE(urls.opened[0], QUrl("http://x/new"));

    check("[update]\r\nver=20090101\r\nmsg=m\r\n", {true});
    QCOMPARE(boxes_->shown.size(), size_t(2));
    QCOMPARE(boxes_->shown[1].text, U("获取升级地址失败，请稍候再试"));
    QCOMPARE(urls.opened.size(), size_t(1));
  }

  void sameDialogsFromMenuAndToolbar() {
    Tfrmmain* w = Open();
    CountingDialog query, down, about;
    frmquery = &query;
    frmdown = &down;
    frmabout = &about;
    w->N3->trigger();
    QTest::mouseClick(w->SpeedButton4, Qt::LeftButton);
    w->N4->trigger();
    QTest::mouseClick(w->SpeedButton5, Qt::LeftButton);
    w->nabt->trigger();
    frmquery = frmdown = frmabout = nullptr;
    QCOMPARE(query.shows, 2);
    QCOMPARE(down.shows, 2);
    QCOMPARE(about.shows, 1);
  }

  void dataFolderOpensInTheFileManager() {
    Tfrmmain* w = Open();
    UrlCatcher urls;
    w->N7->trigger();
    QCOMPARE(urls.opened.size(), size_t(1));
    QCOMPARE(urls.opened[0], QUrl::fromLocalFile(QtPath(Dir() + "/data")));
  }
};

VARNOLT_QTEST_MAIN(MainWindowTest)

#include "mainwindow_test.moc"
