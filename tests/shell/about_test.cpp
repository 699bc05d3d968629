// The about dialog without a web view (offscreen): facts filled at every show, the
// notice, the hover effect of the two link labels and where the links lead.
#include <QEvent>
#include <QLabel>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QPushButton>
#include <QTest>

#include "shell/about.h"
#include "shell/application.h"
#include "shell/forms.h"
#include "shell/widgets.h"
#include "windowtest.h"

namespace {
bool LooksHot(QLabel* l) { return l->palette().color(QPalette::WindowText) == QColor(Qt::red) && l->font().bold(); }
bool LooksIdle(QLabel* l) { return l->palette().color(QPalette::WindowText) == QColor(Qt::blue) && !l->font().bold(); }

void Send(QWidget* w, QEvent::Type type) {
  QEvent e(type);
  QApplication::sendEvent(w, &e);
}
}  // namespace

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  void factsAndCaptionSetAtEveryShow() {
    Tfrmabout about;
    about.setWindowTitle("layout caption");
    about.Label5->setText("0");
    about.show();
    QCOMPARE(about.windowTitle(), U("关于中国专利文献检索下载器（Varnolt）"));
    QCOMPARE(about.Label5->text(), QString("20080106"));
    QCOMPARE(about.Label4->text(), U("中国专利文献检索下载器（Varnolt）"));
    QCOMPARE(about.Label6->text(), U("Varnolt 开发组"));
    QCOMPARE(about.size(), QSize(406, 246));
    QVERIFY(about.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(about.Button1->geometry(), QRect(328, 216, 75, 25));
    QCOMPARE(about.Button1->text(), U("确定"));
    QTest::mouseClick(about.Button1, Qt::LeftButton);
    QVERIFY(!about.isVisible());
    about.setWindowTitle("again");
    about.show();
    QCOMPARE(about.windowTitle(), U("关于中国专利文献检索下载器（Varnolt）"));
  }

  void noticeHasSevenLinesInThreeParagraphs() {
    Tfrmabout about;
    about.show();
    // All seven lines whole in view at the window font's CJK face: none wraps, nothing scrolls.
    QCOMPARE(about.Memo1->document()->lineCount(), 7);
    QCOMPARE(about.Memo1->verticalScrollBar()->maximum(), 0);
    QCOMPARE(about.Memo1->geometry(), QRect(8, 96, 393, 113));
    QStringList lines = about.Memo1->toPlainText().split('\n');
    QCOMPARE(lines.size(), 7);
    QCOMPARE(lines[0], U("        本程序所有的数据来自果汁局，本人对数据的正确性以及完整性"));
    QCOMPARE(lines[1], U("一概不负责任，建议下载或者检索的时候仔细检查相关信息的完整性"));
    QCOMPARE(lines[2], U("以及正确性并建议定时检查升级到程序的最新版本。"));
    for (int i : {3, 5}) QVERIFY(lines[i].startsWith("        ") && !lines[i].startsWith("         "));
    for (int i : {1, 2, 4, 6}) QVERIFY(!lines[i].startsWith(' '));
    QVERIFY(lines[3].contains("TIFFCP") && lines[3].contains("TIFF2PDF"));
    QVERIFY(about.Memo1->isReadOnly());
    QCOMPARE(about.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  }

  void hoverTurnsOneLinkRedAndBoldAtATime() {
    Tfrmabout about;
    about.show();
    QVERIFY(LooksIdle(about.Label7));
    QVERIFY(LooksIdle(about.Label8));
    Send(about.Label7, QEvent::Enter);
    QVERIFY(LooksHot(about.Label7));
    QVERIFY(LooksIdle(about.Label8));
    Send(about.Label7, QEvent::Leave);
    Send(about.Label8, QEvent::Enter);
    QVERIFY(LooksIdle(about.Label7));
    QVERIFY(LooksHot(about.Label8));
    Send(about.Label8, QEvent::Leave);
    QVERIFY(LooksIdle(about.Label8));
    QCOMPARE(about.Label7->text(), U("访问主页"));
    QCOMPARE(about.Label8->text(), U("邮件反馈"));
    QCOMPARE(about.Label8->toolTip(), U("发送反馈邮件"));
    QCOMPARE(about.Label7->cursor().shape(), Qt::PointingHandCursor);
  }

  void linksGoToTheSystem() {
    TestProgramDirectory dir;
    UrlCatcher urls;
    Tfrmabout about;
    about.show();
    QTest::mouseClick(about.Label7, Qt::LeftButton);
    QTest::mouseClick(about.Label8, Qt::LeftButton);
    QTest::mouseClick(about.Image2, Qt::LeftButton);
    QCOMPARE(urls.opened.size(), size_t(3));
    QCOMPARE(urls.opened[0], QUrl("http://127.0.0.1:9"));
    QCOMPARE(urls.opened[1].scheme(), QString("mailto"));
    QCOMPARE(urls.opened[2], QUrl(Tfrmabout::ContactAddress()));
  }
};

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  AboutTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "about_test.moc"
