// Download runs through the real windows against the demo site: numbers typed into the
// download dialog opened from the toolbar, the worker's lines in its memo, the question at
// the end, the report in the main window's browser with links to complete PDFs, the
// records index listing them, and a run whose dialog was closed midway.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "shell/frmdown.h"
#include "tests/e2e/e2esupport.h"
#include "tests/support/pagereaders.h"

namespace {

Tfrmdown* Dialog() { return static_cast<Tfrmdown*>(frmdown); }

QStringList MemoLines() { return Dialog()->mmo->toPlainText().split('\n'); }

// Types each number into the edit and adds it, as a user does.
void TypeNumbers(const QStringList& numbers) {
  Tfrmdown* d = Dialog();
  for (const QString& n : numbers) {
    d->EdNum->clear();
    QTest::keyClicks(d->EdNum, n);
    QTest::mouseClick(d->Button2, Qt::LeftButton);
  }
}

// Opens the download dialog from the main window's toolbar (modal, so this returns when
// the dialog closes) and runs fill once it shows. A dialog still open after limitMs is
// closed, and false returned.
bool RunDialog(const std::function<void()>& fill, int limitMs = 240000) {
  QTimer::singleShot(0, Dialog(), fill);
  bool timedOut = false;
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, [&] {
    timedOut = true;
    Dialog()->close();
  });
  limit.start(limitMs);
  QTest::mouseClick(frmmain->SpeedButton5, Qt::LeftButton);
  return !timedOut;
}

}  // namespace

class DownloadRunTest : public QObject {
  Q_OBJECT

  std::unique_ptr<E2EProgram> program_;

  std::string Pdf(const char* utf8Title) const { return program_->Root().Bytes() + "/data/pdf/" + utf8Title + ".pdf"; }
  QUrl ReportUrl() const { return QUrl::fromLocalFile(QtPath(program_->Root() + "/data/temp/index.html")); }

 private slots:
  void initTestCase() { program_ = std::make_unique<E2EProgram>(); }

  void cleanupTestCase() {
    QVERIFY(WaitFor([] { return Dialog()->startbt->isEnabled(); }, 120000));
    program_.reset();
  }

  void cleanup() { frmmain->showNormal(); }

  void runAnsweredYesShowsItsReportWithCompletePdfsAndTheRecordsList() {
    BoxRecorder boxes;
    boxes.answers = {true};
    Tfrmdown* d = Dialog();
    bool shotRunning = false;
    QMetaObject::Connection shots = connect(d->mmo, &QPlainTextEdit::textChanged, d, [&] {
      QString last = MemoLines().last();
      if (!shotRunning && last.startsWith(U("该记录共有"))) {
        shotRunning = true;
        Shot(d, "download-dialog-running");
      } else if (last == U("处理完毕！")) {
        Shot(d, "download-dialog-done");
      }
    });
    PageWatch report(ReportUrl());

    QVERIFY(RunDialog([&] {
      TypeNumbers({"200510012345", "200630012345", "02123456"});
      QCOMPARE(d->ListNum->count(), 3);
      QTest::mouseClick(d->startbt, Qt::LeftButton);
      QVERIFY(!d->startbt->isEnabled());
    }));
    disconnect(shots);

    // The worker's lines followed the dialog's own; the design patent was passed over.
    QCOMPARE(MemoLines(), (QStringList{
                              U("开始检索，请稍候..."),
                              U("开始下载第1个记录(200510012345)的相关文件"),
                              U("该记录共有12个文件，立即开始下载"),
                              U("文件下载完毕,正在进行格式处理，请稍候..."),
                              U("开始下载第2个记录(200630012345)的相关文件"),
                              U("200630012345为外观,程序已经忽略"),
                              U("开始下载第3个记录(02123456)的相关文件"),
                              U("该记录共有3个文件，立即开始下载"),
                              U("文件下载完毕,正在进行格式处理，请稍候..."),
                              U("处理完毕！"),
                          }));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(boxes.shown[0].text, U("请问您要查看检索结果吗？"));
    QCOMPARE(boxes.shown[0].caption, U("确认操作"));
    QVERIFY(!d->isVisible());
    QVERIFY(d->startbt->isEnabled());
    QVERIFY(frmmain->windowState() & Qt::WindowMaximized);

    // The report as the browser shows it: one row per downloaded record, none for the
    // design patent, and links that reach the PDFs.
    QVERIFY(report.Wait());
    QString text = PageText(false);
    QVERIFY2(text.contains(U("一种锂离子电池及其制备方法")), qPrintable(text));
    QVERIFY(text.contains(U("一种电池隔膜")));
    QVERIFY(text.contains("200510012345") && text.contains("02123456"));
    QVERIFY(!text.contains("200630012345"));
    QVERIFY(text.contains("H01M10/0525") && text.contains("H01M2/16"));
    QStringList pdfs = LinkedPdfFiles();
    QCOMPARE(pdfs, (QStringList{QString::fromStdString(Pdf("一种锂离子电池及其制备方法")),
                                QString::fromStdString(Pdf("一种电池隔膜"))}));
    QCOMPARE(PdfPageCount(PathFromQt(pdfs[0])), 12);
    QCOMPARE(PdfPageCount(PathFromQt(pdfs[1])), 3);
    Shot(frmmain, "main-download-report");

    // The records index, rebuilt from the toolbar, lists both PDFs.
    PageWatch records(QUrl::fromLocalFile(QtPath(program_->Root() + "/data/index.html")));
    QTest::mouseClick(frmmain->SpeedButton3, Qt::LeftButton);
    QVERIFY(records.Wait());
    QString index = PageText(false);
    QVERIFY2(index.contains(U("一种锂离子电池及其制备方法.pdf")), qPrintable(index));
    QVERIFY(index.contains(U("一种电池隔膜.pdf")));
    QStringList listed = LinkedPdfFiles();
    listed.sort();
    pdfs.sort();
    QCOMPARE(listed, pdfs);
    Shot(frmmain, "records-index");
  }

  void runWhoseDialogWasClosedStillAsksAndShowsItsReport() {
    BoxRecorder boxes;
    boxes.answers = {true};
    Tfrmdown* d = Dialog();
    // The list and the memo carry over from the earlier showing; start afresh.
    d->ListNum->clear();
    d->mmo->clear();
    QStringList linesAtClose;
    QMetaObject::Connection closer = connect(d->mmo, &QPlainTextEdit::textChanged, d, [&] {
      if (linesAtClose.isEmpty() && MemoLines().last().startsWith(U("该记录共有"))) {
        linesAtClose = MemoLines();
        d->close();
      }
    });
    PageWatch report(ReportUrl());

    QVERIFY(RunDialog([&] {
      TypeNumbers({"03234567", "01900123"});
      QTest::mouseClick(d->startbt, Qt::LeftButton);
    }));
    disconnect(closer);
    // Closed during the first record: the run goes on without its dialog.
    QCOMPARE(linesAtClose.size(), 3);
    QVERIFY(!d->isVisible());
    QVERIFY(!d->startbt->isEnabled());
    QVERIFY(boxes.shown.empty());

    QVERIFY(WaitFor([&] { return !boxes.shown.empty(); }, 120000));
    QCOMPARE(boxes.shown.size(), size_t(1));
    QCOMPARE(boxes.shown[0].text, U("请问您要查看检索结果吗？"));
    QCOMPARE(MemoLines().last(), U("处理完毕！"));
    QCOMPARE(MemoLines().size(), 8);
    QVERIFY(d->startbt->isEnabled());
    QVERIFY(!d->isVisible());
    QVERIFY(frmmain->windowState() & Qt::WindowMaximized);
    QVERIFY(report.Wait());
    QString text = PageText(false);
    QVERIFY2(text.contains(U("一种自行车刹车装置")), qPrintable(text));
    QVERIFY(!text.contains(U("一种电池隔膜")));
    QStringList pdfs = LinkedPdfFiles();
    QCOMPARE(pdfs.size(), 2);
    QCOMPARE(PdfPageCount(PathFromQt(pdfs[0])), 5);
    QCOMPARE(PdfPageCount(PathFromQt(pdfs[1])), 1);
  }

  void runWithTheOcrBoxGivesPdfsWhoseTextIsFound() {
    BoxRecorder boxes;
    boxes.answers = {false};
    Tfrmdown* d = Dialog();
    d->ListNum->clear();
    d->mmo->clear();
    QVERIFY(RunDialog([&] {
      TypeNumbers({"01900123"});
      if (!d->ckocr->isChecked()) QTest::mouseClick(d->ckocr, Qt::LeftButton);
      QTest::mouseClick(d->startbt, Qt::LeftButton);
      QVERIFY(WaitFor([&] { return !boxes.shown.empty(); }, 120000));
      d->close();
    }));
    // The page's text came in beside the download, before the run's end.
    QCOMPARE(MemoLines().mid(MemoLines().size() - 3),
             (QStringList{U("记录(01900123)第1页文字识别完毕，共1页（已识别1页/已下载1页）"),
                          U("记录(01900123)的PDF已加入文字层"), U("处理完毕！")}));
    const QString text = QString::fromStdString(PdfText(TPath::FromSystem(Pdf("一种洗衣机的固定装置")), 1));
    QVERIFY2(text.contains(U("洗衣机")), qPrintable(text));
    QTest::mouseClick(d->ckocr, Qt::LeftButton);  // the next runs as before
    QVERIFY(!d->ckocr->isChecked());
  }
};

VARNOLT_QTEST_MAIN(DownloadRunTest)

#include "download_run_test.moc"
