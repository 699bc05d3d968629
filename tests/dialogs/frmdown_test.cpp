// The download dialog on a real display: its form, the number edit's rules, adding,
// importing, the list's menu, starting a run and the question at a run's end.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTreeView>
#include <memory>

#include "base/files.h"
#include "base/gbk.h"
#include "base/ini.h"
#include "shell/frmdown.h"
#include "shell/application.h"
#include "shell/updateworker.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/qttext.h"
#include "base/datadir.h"
#include "tests/shell/windowtest.h"
#include "tests/support/demosite.h"

namespace {


const QString kNotANumber = U("您输入的格式不对！");
const QString kWrongLength = U("对不起，您输入的申请号格式不正确！");

QStringList ShownTexts(const std::vector<ShownBox>& shown) {
  QStringList texts;
  for (const ShownBox& b : shown) texts << b.text;
  return texts;
}

QStringList MemoLines(const Tfrmdown& d) { return d.mmo->toPlainText().split('\n'); }

}  // namespace

class DownDialogTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<Tfrmmain> main_;
  std::unique_ptr<BoxRecorder> boxes_;
  std::unique_ptr<Tfrmdown> d_;

  Tfrmdown* Open() {
    d_ = std::make_unique<Tfrmdown>();
    d_->show();
    return d_.get();
  }

  void Paste(QLineEdit* edit, const QString& text) {
    QApplication::clipboard()->setText(text);
    edit->setFocus();
    edit->paste();
  }

  // Opens the list's menu as a right click over row (or over the empty list) would.
  void ContextMenuAt(Tfrmdown* d, QPoint pos) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, d->ListNum->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(d->ListNum->viewport(), &event);
  }

 private slots:
  void initTestCase() {
    dir_ = std::make_unique<TestProgramDirectory>();
    // The main window fixes the data-directory root; the return button shows its report there.
    main_ = std::make_unique<Tfrmmain>();
    frmmain = main_.get();
    main_->show();
  }

  void cleanupTestCase() {
    frmmain = nullptr;
    main_.reset();
    QVERIFY(checkupdate::WaitForAll(20000));
    dir_.reset();
  }

  void init() { boxes_ = std::make_unique<BoxRecorder>(); }

  void cleanup() {
    // A run started by a test ends before its dialog goes (no site answers at 127.0.0.1:9).
    if (d_) QTRY_VERIFY_WITH_TIMEOUT(d_->startbt->isEnabled(), 30000);
    d_.reset();
    Tfrmdown::SetOpenDialogForTesting(nullptr);
    boxes_.reset();
  }

  void formHasItsControlsPlacesAndTexts() {
    Tfrmdown* d = Open();
    QCOMPARE(d->objectName(), U("frmdown"));
    QCOMPARE(d->windowTitle(), U("下载文档"));
    QCOMPARE(d->size(), QSize(584, 352));
    QCOMPARE(d->minimumSize(), d->maximumSize());
    QVERIFY(d->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(d->font().pixelSize(), 11);
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY(qAbs(d->geometry().center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(d->geometry().center().y() - area.center().y()) <= 1);

    struct Expect {
      const char* name;
      QWidget* parent;
      QRect geometry;
    } controls[] = {
        {"Panel2", d, {0, 0, 584, 41}},          {"Button1", d->Panel2, {8, 8, 41, 25}},
        {"EdNum", d->Panel2, {56, 8, 161, 21}},  {"Button2", d->Panel2, {216, 8, 49, 25}},
        {"ListNum", d, {0, 41, 271, 311}},       {"Panel1", d, {271, 41, 313, 311}},
        {"startbt", d->Panel1, {8, 0, 75, 25}},  {"msgbt", d->Panel1, {224, 0, 75, 25}},
        {"mmo", d->Panel1, {0, 32, 313, 279}},   {"ckocr", d->Panel1, {96, 4, 110, 17}},
    };
    for (const Expect& e : controls) {
      auto* w = d->findChild<QWidget*>(e.name);
      QVERIFY2(w, e.name);
      QCOMPARE(w->parentWidget(), e.parent);
      QCOMPARE(w->geometry(), e.geometry);
    }
    QCOMPARE(d->Panel1->frameStyle(), int(QFrame::NoFrame));
    QCOMPARE(d->Panel2->frameStyle(), int(QFrame::NoFrame));
    QCOMPARE(d->Button1->text(), U("导入"));
    QCOMPARE(d->Button2->text(), U("增加"));
    QCOMPARE(d->startbt->text(), U("开始下载"));
    QCOMPARE(d->msgbt->text(), U("返回"));
    QCOMPARE(d->ckocr->text(), U("OCR文字层"));
    QVERIFY(d->ckocr->width() >= d->ckocr->sizeHint().width());
    QVERIFY(!d->msgbt->isVisible());
    QVERIFY(d->startbt->isVisible() && d->startbt->isEnabled());
    QVERIFY(d->EdNum->text().isEmpty());
    QCOMPARE(d->mmo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    // The two notes, whole: neither is cut by the dialog's edge nor covers the other.
    QCOMPARE(d->Label2->text(), U("备注：导入申请号为不含CN和检验位的6/8/12位数字"));
    QCOMPARE(d->Label3->text(), U("多个申请号之间用换行分开"));
    QCOMPARE(d->Label2->pos(), QPoint(280, 8));
    QCOMPARE(d->Label3->pos(), QPoint(320, 24));
    for (QLabel* l : {d->Label2, d->Label3}) {
      QVERIFY(l->width() >= l->fontMetrics().horizontalAdvance(l->text()));
      QVERIFY(l->geometry().right() < 584);
    }
    QVERIFY(d->Label2->geometry().bottom() <= 24 + 1);

    QCOMPARE(d->findChild<QMenu*>("PopupMenu1"), d->PopupMenu1);
    QCOMPARE(d->N1->objectName(), U("N1"));
    QCOMPARE(d->N1->text(), U("删除此条"));
    QCOMPARE(d->findChild<QFileDialog*>("OpenDialog1"), d->OpenDialog1);
  }

  void typingDropsLettersAndCutsTheThirteenthCharacter() {
    Tfrmdown* d = Open();
    d->EdNum->setFocus();
    QTest::keyClicks(d->EdNum, "2a0B0z5");
    QCOMPARE(d->EdNum->text(), U("2005"));
    QTest::keyClicks(d->EdNum, "100123456");
    QCOMPARE(d->EdNum->text(), U("200510012345"));
    QTest::keyClicks(d->EdNum, "7");
    QCOMPARE(d->EdNum->text(), U("200510012345"));
    QVERIFY(boxes_->shown.empty());

    // Shortcuts with letters still reach the edit.
    QTest::keyClick(d->EdNum, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(d->EdNum->selectedText(), U("200510012345"));
    QTest::keyClick(d->EdNum, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), U("200510012345"));
  }

  void textsThatDoNotReadAsNumbersAreRefusedAndCleared() {
    Tfrmdown* d = Open();
    Paste(d->EdNum, "12ab34");
    QCOMPARE(ShownTexts(boxes_->shown), QStringList{kNotANumber});
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Plain);
    QVERIFY(d->EdNum->text().isEmpty());

    QTest::keyClick(d->EdNum, '-');
    QCOMPARE(ShownTexts(boxes_->shown), (QStringList{kNotANumber, kNotANumber}));
    QVERIFY(d->EdNum->text().isEmpty());

    // A sign put in front of five digits passes, and the six characters are added.
    QTest::keyClicks(d->EdNum, "12345");
    QTest::keyClick(d->EdNum, Qt::Key_Home);
    QTest::keyClick(d->EdNum, '-');
    QCOMPARE(d->EdNum->text(), U("-12345"));
    QCOMPARE(boxes_->shown.size(), size_t(2));
    QTest::mouseClick(d->Button2, Qt::LeftButton);
    QCOMPARE(d->Entries(), std::vector<std::string>{"-12345"});
    QCOMPARE(boxes_->shown.size(), size_t(2));

    // A paste longer than twelve characters is cut first and then checked.
    d->EdNum->clear();
    Paste(d->EdNum, "123456789012345");
    QCOMPARE(d->EdNum->text(), U("123456789012"));
    QCOMPARE(boxes_->shown.size(), size_t(2));
    d->EdNum->clear();
    Paste(d->EdNum, "12345678901ab");  // cut to "12345678901a": one box, then empty
    QVERIFY(d->EdNum->text().isEmpty());
    QCOMPARE(boxes_->shown.size(), size_t(3));
  }

  void addingTrimsRefusesWrongLengthsAndSkipsDuplicates() {
    Tfrmdown* d = Open();
    Paste(d->EdNum, " 12345678901");
    QVERIFY(boxes_->shown.empty());
    QTest::mouseClick(d->Button2, Qt::LeftButton);
    QCOMPARE(ShownTexts(boxes_->shown), QStringList{kWrongLength});
    QCOMPARE(d->EdNum->text(), U("12345678901"));
    QCOMPARE(d->ListNum->count(), 0);

    boxes_->shown.clear();
    d->EdNum->setText(" 02123456 ");
    QTest::mouseClick(d->Button2, Qt::LeftButton);
    QCOMPARE(d->EdNum->text(), U("02123456"));
    QTest::mouseClick(d->Button2, Qt::LeftButton);
    d->EdNum->setText("200510012345");
    QTest::mouseClick(d->Button2, Qt::LeftButton);
    QVERIFY(boxes_->shown.empty());
    QCOMPARE(d->Entries(), (std::vector<std::string>{"02123456", "200510012345"}));
    QCOMPARE(d->ListNum->item(1)->text(), U("200510012345"));
    QCOMPARE(d->EdNum->text(), U("200510012345"));
  }

  void importReplacesTheListWithTheFileLinesUnchanged() {
    Tfrmdown* d = Open();
    d->EdNum->setText("02123456");
    QTest::mouseClick(d->Button2, Qt::LeftButton);

    TempDir files;
    // "\x80" alone is no GBK character: the entry keeps the byte all the same.
    const std::string cn = Utf8ToGbk("CN200510012345 号");
    WriteFileBytes(files.File("numbers.TXT"), "200630012345\r\n\r\n" + cn + "\n 02123456\x80\r\n");
    QString offered;
    QStringList filters;
    QString suffix;
    QString answer = QtPath(files.File("numbers.TXT"));
    Tfrmdown::SetOpenDialogForTesting([&](QFileDialog& dialog) {
      filters = dialog.nameFilters();
      suffix = dialog.defaultSuffix();
      offered = dialog.objectName();
      return answer;
    });

    // A cancel and an unreadable file leave the list as it is.
    answer.clear();
    QTest::mouseClick(d->Button1, Qt::LeftButton);
    QCOMPARE(d->Entries(), std::vector<std::string>{"02123456"});
    QCOMPARE(offered, U("OpenDialog1"));
    QCOMPARE(filters, QStringList{U("文本文件 (*.TXT)")});
    QCOMPARE(suffix, U("TXT"));
    answer = QtPath(files.File("missing.TXT"));
    QTest::mouseClick(d->Button1, Qt::LeftButton);
    QCOMPARE(d->Entries(), std::vector<std::string>{"02123456"});
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QVERIFY(boxes_->shown[0].text.contains("missing.TXT"));
    QVERIFY2(boxes_->shown[0].text.startsWith(U("无法打开文件 ")), qPrintable(boxes_->shown[0].text));

    answer = QtPath(files.File("numbers.TXT"));
    QTest::mouseClick(d->Button1, Qt::LeftButton);
    QCOMPARE(d->Entries(), (std::vector<std::string>{"200630012345", "", cn, " 02123456\x80"}));
    QCOMPARE(d->ListNum->item(2)->text(), U("CN200510012345 号"));

    // The run gets them as they are: the design patent is skipped, and the empty line is
    // searched for (where nobody answers, which ends the run).
    QTest::mouseClick(d->startbt, Qt::LeftButton);
    QVERIFY(!d->startbt->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(d->startbt->isEnabled(), 30000);
    QCOMPARE(MemoLines(*d), (QStringList{U("开始检索，请稍候..."), U("开始下载第1个记录(200630012345)的相关文件"),
                                         U("200630012345为外观,程序已经忽略"), U("开始下载第2个记录()的相关文件")}));
    QCOMPARE(boxes_->shown.size(), size_t(1));  // an early end asks nothing
  }

  // The import's file dialog writes sizes and dates in Chinese, whatever the system's
  // locale (here C).
  void importDialogWritesSizesAndDatesInChinese() {
    Tfrmdown* d = Open();
    TempDir files;
    WriteFileBytes(files.File("numbers.TXT"), "200630012345\r\n02123456\r\n");
    d->OpenDialog1->setDirectory(QtPath(files.Path()));
    d->OpenDialog1->show();
    auto* view = d->OpenDialog1->findChild<QTreeView*>("treeView");
    QVERIFY(view);
    auto cell = [view](int column) {
      QAbstractItemModel* model = view->model();
      for (int row = 0; row < model->rowCount(view->rootIndex()); ++row)
        if (model->index(row, 0, view->rootIndex()).data().toString() == "numbers.TXT")
          return model->index(row, column, view->rootIndex()).data().toString();
      return QString();
    };
    QTRY_COMPARE_WITH_TIMEOUT(cell(1), U("24 字节"), 10000);
    QVERIFY2(QRegularExpression("^\\d{4}/\\d{1,2}/\\d{1,2} \\d{1,2}:\\d{2}$").match(cell(3)).hasMatch(), qPrintable(cell(3)));
    QCOMPARE(d->OpenDialog1->findChild<QLabel*>("lookInLabel")->text(), U("查找范围："));
    d->OpenDialog1->hide();
  }

  void deleteNeedsASelectedEntry() {
    Tfrmdown* d = Open();
    for (const char* n : {"123456", "654321"}) {
      d->EdNum->setText(n);
      QTest::mouseClick(d->Button2, Qt::LeftButton);
    }
    QPoint second = d->ListNum->visualItemRect(d->ListNum->item(1)).center();

    ContextMenuAt(d, second);
    QTRY_VERIFY(d->PopupMenu1->isVisible());
    QVERIFY(!d->N1->isEnabled());
    d->N1->trigger();  // a disabled item does nothing even when called
    QCOMPARE(d->ListNum->count(), 2);
    d->PopupMenu1->hide();

    d->ListNum->setCurrentRow(1);
    ContextMenuAt(d, second);
    QTRY_VERIFY(d->PopupMenu1->isVisible());
    QVERIFY(d->N1->isEnabled());
    d->N1->trigger();
    QCOMPARE(d->Entries(), std::vector<std::string>{"123456"});
    d->PopupMenu1->hide();

    d->PopupMenu1Popup();
    QVERIFY(!d->N1->isEnabled());
  }

  // The OCR box keeps its state in savefile.ini, beside the data directory, for the next
  // showing and the next start of the program.
  void ocrBoxIsRemembered() {
    const TPath settings = datadir::SettingsFile();
    const std::string before = FileExists(settings) ? ReadFileBytes(settings) : "";
    Tfrmdown* d = Open();
    QVERIFY(!d->ckocr->isChecked());
    QTest::mouseClick(d->ckocr, Qt::LeftButton);
    QVERIFY(d->ckocr->isChecked());
    QCOMPARE(IniReadString(settings, "download", "ocr", ""), std::string("1"));
    QCOMPARE(ReadFileBytes(settings).substr(0, before.size()), before);  // the data directory's line stays
    QVERIFY(Open()->ckocr->isChecked());
    QTest::mouseClick(d_->ckocr, Qt::LeftButton);
    QVERIFY(!Open()->ckocr->isChecked());
  }

  void startingWithAnEmptyListStartsNothing() {
    Tfrmdown* d = Open();
    QTest::mouseClick(d->startbt, Qt::LeftButton);
    QCOMPARE(ShownTexts(boxes_->shown), QStringList{U("您还尚未输入任何申请号/授权号！")});
    QVERIFY(d->startbt->isEnabled());
    QVERIFY(d->mmo->toPlainText().isEmpty());
  }

  void returnButtonAsksAndOnNoKeepsTheDialog() {
    Tfrmdown* d = Open();
    QUrl before = frmmain->webb->url();
    boxes_->answers = {false};
    d->msgbt->click();
    QCOMPARE(boxes_->shown.size(), size_t(2));
    QCOMPARE(boxes_->shown[0].kind, msgbox::Kind::Question);
    QCOMPARE(boxes_->shown[0].text, U("请问您要查看检索结果吗？"));
    QCOMPARE(boxes_->shown[0].caption, U("确认操作"));
    QCOMPARE(boxes_->shown[1].kind, msgbox::Kind::Plain);
    QCOMPARE(boxes_->shown[1].text, U("检索记录已保存，查看程序首页即可！"));
    QCOMPARE(boxes_->shown[1].caption, U("中国专利文献检索下载器（Varnolt）"));
    QVERIFY(d->isVisible());
    QVERIFY(!(frmmain->windowState() & Qt::WindowMaximized));
    QCOMPARE(frmmain->webb->url(), before);
  }

  void returnButtonOnYesShowsTheReportMaximisedAndCloses() {
    Tfrmdown* d = Open();
    TPath report = datadir::Root() + "/data/temp/index.html";
    QVERIFY(ForceDirectories(datadir::Root() + "/data/temp"));
    WriteFileBytes(report, "<html><body>report</body></html>");
    boxes_->answers = {true};
    d->msgbt->click();
    QCOMPARE(boxes_->shown.size(), size_t(1));
    QVERIFY(!d->isVisible());
    QVERIFY(frmmain->windowState() & Qt::WindowMaximized);
    QTRY_COMPARE_WITH_TIMEOUT(frmmain->webb->url(), QUrl::fromLocalFile(QtPath(report)), 15000);
    frmmain->showNormal();
  }

  // With OPS as the source: the document choice reaches the run (全部: one PDF per
  // publication), and a run the quota ends says so in the memo.
  void opsRunTakesTheDocumentChoiceAndSaysWhyTheQuotaEndedIt() {
    TwoOpsRoles ops;
    ops.Use(ops.full);

    Tfrmdown* d = Open();
    d->cbdocument->setCurrentIndex(d->cbdocument->findText(U("全部")));
    d->EdNum->setText("02123456");
    d->Button2->click();
    d->startbt->click();
    QTRY_VERIFY_WITH_TIMEOUT(d->startbt->isEnabled(), 60000);
    const TPath pdf = datadir::Root() + "/data/pdf/";
    QVERIFY2(FileExists(pdf + Utf8ToGbk("一种电池隔膜 CN1830574A.pdf")), qPrintable(d->mmo->toPlainText()));
    QVERIFY(FileExists(pdf + Utf8ToGbk("一种电池隔膜 CN100953206C.pdf")));
    // The bars below stand at the run's end: its one record, every page of its last PDF.
    QVERIFY(d->pbrecords->isVisible());
    QCOMPARE(d->pbrecords->value(), d->pbrecords->maximum());
    QCOMPARE(d->pbrecords->maximum(), 1);
    QVERIFY(d->pbpages->maximum() > 1);
    QCOMPARE(d->pbpages->value(), d->pbpages->maximum());

    ops.Use(ops.limited);
    d->EdNum->setText("03234567");
    d->Button2->click();
    d->startbt->click();
    QTRY_VERIFY_WITH_TIMEOUT(d->startbt->isEnabled(), 60000);
    const QString memo = d->mmo->toPlainText();
    QVERIFY2(memo.contains(U("OPS 本小时的流量配额已用完")), qPrintable(memo));
    QCOMPARE(memo.count(U("OPS 本小时的流量配额已用完")), 1);
  }
};

VARNOLT_QTEST_MAIN(DownDialogTest)

#include "frmdown_test.moc"
