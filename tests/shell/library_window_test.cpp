// The patent library in the desktop program, on a virtual display (the browser shows the
// PDFs and prints the pages): the 资料库 window finds, filters, sorts, exports and opens a
// PDF at the page of the words; the main window exports the search report it shows and
// saves it as PDF; a data directory without a library is offered its import once.
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QPushButton>
#include <QTableView>
#include <QTextBrowser>
#include <QToolButton>
#include <QWebEnginePage>
#include <ctime>
#include <memory>

#include "base/datadir.h"
#include "base/files.h"
#include "base/ini.h"
#include "library/library.h"
#include "search/searchreport.h"
#include "shell/forms.h"
#include "shell/frmlibrary.h"
#include "shell/mainwindow.h"
#include "shell/qttext.h"
#include "shell/updateworker.h"
#include "windowtest.h"

namespace {

TPatentRecord Record(const std::string& application, const std::string& title, const std::string& date,
                     const std::string& applicant, const std::string& ipc, const std::string& legal) {
  TPatentRecord r;
  r.application = application;
  r.title = title;
  r.applicationDate = date;
  r.applicants = {applicant};
  r.ipc = {ipc};
  r.legalStatus = legal;
  r.source = "ops";
  return r;
}

// A PDF of three pages, as a download leaves one, and the library's three records, the
// first with that PDF whose second page holds 陶瓷涂层.
void FillLibrary(const TPath& root) {
  CreateDir(root + "/data");
  CreateDir(root + "/data/pdf");
  {
    QPdfWriter pdf(QtPath(TPath::FromSystem(root.Bytes() + "/data/pdf/隔膜.pdf")));
    QPainter p(&pdf);
    for (int page = 1; page <= 3; ++page) {
      if (page > 1) pdf.newPage();
      p.drawText(500, 500, QString("page %1").arg(page));
    }
  }
  TLibraryWriter w(root, {"search", "ops", "test", ""});
  w.Met(Record("200810105070", "一种电池隔膜", "2008-03-01", "华为技术有限公司", "H01M2/16", "有效：授权"));
  w.Met(Record("200910001111", "一种电动车", "2009-05-02", "比亚迪股份有限公司", "B60L11/18", "失效：未缴年费"));
  w.Met(Record("200920002222", "一种数据处理方法", "2009-11-20", "华为技术有限公司", "G06F17/30", "审中：实质审查"));
  w.Document({"200810105070", "CN101000001B", "data/pdf/隔膜.pdf", 3, {}, true, {"", "带有陶瓷涂层的隔膜", ""}});
  w.Finish({3, 0, "done"});
}

// The column's texts from top to bottom as the table shows them.
QStringList Column(QTableView* grid, int column) {
  QStringList out;
  for (int r = 0; r < grid->model()->rowCount(); ++r) out << grid->model()->index(r, column).data().toString();
  return out;
}

// A search report of the OPS form with two records, in the data directory's query folder.
TPath WriteReport(const TPath& root) {
  std::vector<std::string> page = SearchReportHead("ti all \"battery\"", std::time(nullptr), root);
  for (int n = 1; n <= 2; ++n) {
    SearchRecordCells c;
    c.n = n;
    c.typeName = G("发明");
    c.number = n == 1 ? "200810105070" : "200910001111";
    c.publication = n == 1 ? "CN101000001B" : "CN101000002A";
    c.recordLink = "https://worldwide.espacenet.com/patent/search?q=pn%3D" + c.publication;
    c.title = G(n == 1 ? "一种电池隔膜" : "一种电动车");
    c.classification = "H01M2/16";
    c.legalStatus = G("有效");
    c.patentee = G("华为技术有限公司");
    page.push_back(SearchRowOpening() + SearchRowCells(c) + SearchDividerRow());
  }
  for (const std::string& item : SearchReportTail()) page.push_back(item);
  CreateDir(root + "/data");
  CreateDir(root + "/data/query");
  const TPath file = root + "/data/query/battery.html";
  WriteTextLines(file, page);
  return file;
}

// CSV rows of an export: the byte-order mark checked and dropped, lines split.
QStringList CsvLines(const TPath& file) {
  const std::string bytes = ReadFileBytes(file);
  if (bytes.rfind("\xEF\xBB\xBF", 0) != 0) return {"no byte-order mark"};
  return QString::fromStdString(bytes.substr(3)).split("\r\n", Qt::SkipEmptyParts);
}

}  // namespace

class LibraryWindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  std::unique_ptr<BoxRecorder> boxes_;
  std::unique_ptr<UrlCatcher> urls_;
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
    urls_ = std::make_unique<UrlCatcher>();
  }

  void cleanup() {
    frmmain = nullptr;
    w_.reset();
    QVERIFY(checkupdate::WaitForAll(20000));
    urls_.reset();
    boxes_.reset();
    dir_.reset();
  }

  void libraryWindowFindsFiltersSortsExportsAndOpensThePage() {
    FillLibrary(Dir());
    Tfrmmain* w = Open();
    QCOMPARE(w->NLibrary->text(), U("资料库"));
    QTest::mouseClick(w->SpeedButton6, Qt::LeftButton);
    Tfrmlibrary* lib = w->frmlibrary;
    QVERIFY(lib && lib->isVisible());
    QCOMPARE(lib->windowTitle(), U("资料库"));
    QTableView* grid = lib->findChild<QTableView*>("grid");
    QCOMPARE(grid->model()->rowCount(), 3);
    QCOMPARE(lib->lbcount->text(), U("共 3 条记录"));

    // Every filter alone, then two together.
    auto choose = [](QComboBox* box, const char* text) { box->setCurrentIndex(box->findText(U(text))); };
    choose(lib->findChild<QComboBox*>("cbyear"), "2009");
    QCOMPARE(Column(grid, 1), QStringList({U("一种电动车"), U("一种数据处理方法")}));
    QCOMPARE(lib->lbcount->text(), U("显示 2 条，共 3 条记录"));
    choose(lib->cblegal, "失效");
    QCOMPARE(Column(grid, 1), QStringList({U("一种电动车")}));
    lib->cbyear->setCurrentIndex(0);
    lib->cblegal->setCurrentIndex(0);
    lib->cbapplicant->setEditText(U("华为"));
    QCOMPARE(grid->model()->rowCount(), 2);
    choose(lib->cbclass, "G06F");
    QCOMPARE(Column(grid, 1), QStringList({U("一种数据处理方法")}));
    lib->cbclass->setCurrentIndex(0);
    lib->cbapplicant->setCurrentIndex(0);
    QCOMPARE(grid->model()->rowCount(), 3);

    // Sorted by the filing date, both ways, by a click on the header.
    const int dateX = grid->horizontalHeader()->sectionViewportPosition(TLibraryModel::ApplicationDate) + 5;
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(dateX, 5));
    const QStringList up = Column(grid, TLibraryModel::ApplicationDate);
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(dateX, 5));
    const QStringList down = Column(grid, TLibraryModel::ApplicationDate);
    QCOMPARE(up, QStringList({"2008-03-01", "2009-05-02", "2009-11-20"}));
    QCOMPARE(down, QStringList({"2009-11-20", "2009-05-02", "2008-03-01"}));

    // Words of a page: the record, where, the text with the words marked.
    lib->edfind->setText(U("陶瓷涂层"));
    QTest::keyClick(lib->edfind, Qt::Key_Return);
    QCOMPARE(Column(grid, 0), QStringList({"200810105070"}));
    QCOMPARE(Column(grid, TLibraryModel::Where), QStringList({U("第2页 隔膜.pdf")}));
    grid->selectRow(0);
    QVERIFY(lib->mmotext->toHtml().contains(U("陶瓷涂层</span>")));
    QVERIFY(lib->mmotext->toPlainText().contains(U("带有陶瓷涂层的隔膜")));

    // The double click shows the PDF at that page in the main window's browser.
    const QRect cell = grid->visualRect(grid->model()->index(0, 1));
    // As a hand does it: the press that selects, then the double click.
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QUrl expected = QUrl::fromLocalFile(QtPath(Dir()) + U("/data/pdf/隔膜.pdf"));
    expected.setFragment("page=2");
    QTRY_COMPARE(w->webb->url(), expected);
    QVERIFY(urls_->opened.empty());

    // The export of the rows shown, through the file dialog, in the format its filter names.
    lib->edfind->clear();
    QTest::mouseClick(lib->btfind, Qt::LeftButton);
    lib->cbapplicant->setEditText(U("华为"));
    const TPath csv = Dir() + "/found.csv";
    OnNextModal([&](QWidget* dialog) {
      dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QtPath(csv));
      QTest::keyClick(dialog->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
    });
    QTest::mouseClick(lib->btexport, Qt::LeftButton);
    QTRY_VERIFY(FileExists(csv));
    const QStringList lines = CsvLines(csv);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(U("申请号,公开号,名称")));
    QVERIFY(lines[1].contains(U("华为技术有限公司")) && lines[2].contains(U("华为技术有限公司")));
    QVERIFY(boxes_->shown.back().text.startsWith(U("已导出记录：2")));

    // A record without a PDF says so on a double click.
    lib->cbapplicant->setCurrentIndex(0);
    lib->edfind->setText(U("电动车"));
    QTest::mouseClick(lib->btfind, Qt::LeftButton);
    QCOMPARE(grid->model()->rowCount(), 1);
    const QPoint first = grid->visualRect(grid->model()->index(0, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, first);
    QVERIFY(boxes_->shown.back().text.startsWith(U("这条记录还没有下载PDF")));
  }

  void mainWindowExportsTheReportShownAndSavesItAsPdf() {
    const TPath report = WriteReport(Dir());
    Tfrmmain* w = Open();
    QVERIFY(!w->SpeedButton7->isEnabled());
    QSignalSpy loaded(w->webb, &QWebEngineView::loadFinished);
    w->webb->Navigate(QtPath(report));
    QVERIFY(loaded.wait(20000));
    QTRY_VERIFY(w->SpeedButton7->isEnabled());
    QVERIFY(w->NExport->isEnabled());

    const TPath sheet = Dir() + "/report.csv";
    w->ExportReportTo(QtPath(sheet));
    const QStringList lines = CsvLines(sheet);
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[1].startsWith("200810105070,CN101000001B,"));
    QVERIFY(lines[2].startsWith("200910001111,CN101000002A,"));

    const TPath pdf = Dir() + "/report.pdf";
    const size_t before = boxes_->shown.size();
    w->SavePageAsPdf(QtPath(pdf));
    QTRY_VERIFY_WITH_TIMEOUT(boxes_->shown.size() > before, 20000);
    QCOMPARE(boxes_->shown.back().text, U("已另存为PDF：") + QtPath(pdf));
    QProcess info;
    info.start("pdfinfo", {QtPath(pdf)});
    QVERIFY(info.waitForFinished(10000));
    QCOMPARE(info.exitCode(), 0);
    QVERIFY(info.readAllStandardOutput().contains("Pages:"));
  }

  void aDataDirectoryWithoutALibraryIsOfferedItsImportOnce() {
    WriteReport(Dir());
    boxes_->answers = {true};
    Open();
    QTRY_VERIFY_WITH_TIMEOUT(!boxes_->shown.empty() && boxes_->shown.back().text.startsWith(U("已导入资料库")), 20000);
    QCOMPARE(boxes_->shown.front().caption, U("导入资料库"));
    QVERIFY(boxes_->shown.front().text.contains(U("检索报告 1 份、PDF 0 个")));
    QCOMPARE(boxes_->shown.back().text, U("已导入资料库：新增记录 2 条，新增文档 0 个"));
    {
      TLibrary library(Dir());
      QCOMPARE(int(library.Records().size()), 2);
    }
    // The next start has a library: no offer.
    frmmain = nullptr;
    w_.reset();
    const size_t shown = boxes_->shown.size();
    Open();
    QTest::qWait(300);
    QCOMPARE(boxes_->shown.size(), shown);
  }
};

VARNOLT_QTEST_MAIN(LibraryWindowTest)
#include "library_window_test.moc"
