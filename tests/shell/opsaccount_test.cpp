// The OPS account dialog offscreen: what 确定 keeps in ops.ini (and nowhere else), the
// registration link, and 测试连接 against the demo's OPS role over HTTPS, which must
// answer without holding up the window.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "base/appdir.h"
#include "base/files.h"
#include "base/ini.h"
#include "shell/frmopsaccount.h"
#include "shell/widgets.h"
#include "sources/opsaccount.h"
#include "tests/support/demosite.h"
#include "windowtest.h"

namespace {

// Every file below dir, read whole, for a check that a text is in none of them.
std::string AllFileBytes(const TPath& dir) {
  std::string all;
  for (const DirEntry& e : ListDirectory(dir))
    all += e.isDirectory ? AllFileBytes(dir.Entry(e.name)) : ReadFileBytes(dir.Entry(e.name));
  return all;
}

}  // namespace

class OpsAccountTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TestProgramDirectory> dir_;
  ScopedEnv key_{"VARNOLT_OPS_KEY", std::nullopt};
  ScopedEnv secret_{"VARNOLT_OPS_SECRET", std::nullopt};

  // Clicks 测试连接 and pumps events until the answer is shown; the window must go on
  // serving events meanwhile (a timer fires while the request is under way).
  QString TestConnection(Tfrmopsaccount& dialog, bool* servedMeanwhile = nullptr) {
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(5);
    QTest::mouseClick(dialog.bttest, Qt::LeftButton);
    const bool disabledWhileRunning = !dialog.bttest->isEnabled();
    const QString waiting = dialog.lbresult->text();
    if (!WaitFor([&] { return dialog.bttest->isEnabled(); }, 30000)) return "(no answer)";
    if (servedMeanwhile) *servedMeanwhile = disabledWhileRunning && waiting == U("正在连接 OPS，请稍候...") && ticks > 3;
    return dialog.lbresult->text();
  }

 private slots:
  void init() { dir_ = std::make_unique<TestProgramDirectory>(); }
  void cleanup() { dir_.reset(); }

  void okWritesOpsIniForThisUserOnlyAndTheDialogReadsItBack() {
    {
      Tfrmopsaccount dialog;
      dialog.show();
      QCOMPARE(dialog.windowTitle(), U("EPO OPS 帐户"));
      QVERIFY(dialog.edkey->text().isEmpty());
      QCOMPARE(dialog.edsecret->echoMode(), QLineEdit::Password);
      QVERIFY(!dialog.lbenv->isVisible());
      QTest::keyClicks(dialog.edkey, "  my-key ");
      QTest::keyClicks(dialog.edsecret, "s3cr=t");
      QTest::mouseClick(dialog.ckshow, Qt::LeftButton);
      QCOMPARE(dialog.edsecret->echoMode(), QLineEdit::Normal);
      QTest::mouseClick(dialog.btok, Qt::LeftButton);
      QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    const TPath ini = dir_->dir + "/ops.ini";
    struct stat st {};
    QCOMPARE(::stat(ini.c_str(), &st), 0);
    QCOMPARE(int(st.st_mode & 0777), 0600);
    QCOMPARE(QString::fromStdString(IniReadString(ini, "ops", "key", "")), U("my-key"));
    QCOMPARE(QString::fromStdString(IniReadString(ini, "ops", "secret", "")), U("s3cr=t"));
    // The secret is in ops.ini and in no other file the program directory holds.
    QCOMPARE(Count(AllFileBytes(dir_->dir), "s3cr=t"), 1);

    // Shown again: what the file holds, the secret hidden again; cancel keeps the file.
    Tfrmopsaccount again;
    again.show();
    QCOMPARE(again.edkey->text(), U("my-key"));
    QCOMPARE(again.edsecret->text(), U("s3cr=t"));
    QCOMPARE(again.edsecret->echoMode(), QLineEdit::Password);
    again.edsecret->setText("other");
    QTest::mouseClick(again.btcancel, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(IniReadString(ini, "ops", "secret", "")), U("s3cr=t"));
  }

  void environmentCredentialsAreNamedAndAFailedWriteKeepsTheDialogOpen() {
    ScopedEnv key("VARNOLT_OPS_KEY", "k");
    ScopedEnv secret("VARNOLT_OPS_SECRET", "s");
    BoxRecorder boxes;
    Tfrmopsaccount dialog;
    dialog.show();
    QVERIFY(dialog.lbenv->isVisible());
    // A folder where ops.ini should be: the file cannot be written.
    QVERIFY(CreateDir(dir_->dir + "/ops.ini"));
    dialog.edkey->setText("k2");
    dialog.edsecret->setText("s2");
    QTest::mouseClick(dialog.btok, Qt::LeftButton);
    QVERIFY(dialog.isVisible());
    QCOMPARE(boxes.shown.size(), size_t(1));
    QVERIFY(boxes.shown[0].text.startsWith(U("无法保存帐户文件：")));
    QVERIFY(!boxes.shown[0].text.contains("s2"));
  }

  void registrationLinkOpensTheRegistrationPage() {
    UrlCatcher urls;
    Tfrmopsaccount dialog;
    dialog.show();
    QCOMPARE(dialog.lblink->text(), U("https://developers.epo.org/"));
    QTest::mouseClick(dialog.lblink, Qt::LeftButton);
    QCOMPARE(urls.opened.size(), size_t(1));
    QCOMPARE(urls.opened[0], QUrl("https://developers.epo.org/"));
  }

  void connectionTestSaysOkRefusedOrUnreachableWithoutTheSecret() {
    // The token is held back a while, so that the window shows it is waiting.
    DemoSite ops({"--latency", "300"}, false, true);
    ScopedEnv ca("SSL_CERT_FILE", ops.CaFile().Bytes());
    Tfrmopsaccount dialog;
    dialog.show();
    dialog.edkey->setText(DemoSite::kOpsKey);
    dialog.edsecret->setText(DemoSite::kOpsSecret);
    bool served = false;
    const QString ok = TestConnection(dialog, &served);
    QVERIFY2(ok.startsWith(U("连接成功")), qPrintable(ok));
    QVERIFY(served);

    dialog.edsecret->setText("wrong-secret");
    const QString refused = TestConnection(dialog);
    QVERIFY2(refused.startsWith(U("Consumer Key 或 Consumer Secret 不对")) && refused.contains("401"), qPrintable(refused));
    QVERIFY(!refused.contains("wrong-secret") && !refused.contains(DemoSite::kOpsKey));

    // Nothing listens there.
    SiteHosts hosts = Hosts();
    hosts.OpsHost = "127.0.0.1:9";
    SetHosts(hosts);
    dialog.edsecret->setText(DemoSite::kOpsSecret);
    const QString unreachable = TestConnection(dialog);
    QVERIFY2(unreachable.startsWith(U("无法取得访问令牌")), qPrintable(unreachable));

    // Nothing typed: said at once, no request.
    dialog.edkey->clear();
    QTest::mouseClick(dialog.bttest, Qt::LeftButton);
    QVERIFY(WaitFor([&] { return dialog.bttest->isEnabled(); }));
    QCOMPARE(dialog.lbresult->text(), U("请先填写 Consumer Key 和 Consumer Secret"));
    // Testing writes nothing.
    QVERIFY(!FileExists(dir_->dir + "/ops.ini"));
  }
};

VARNOLT_QTEST_MAIN(OpsAccountTest)
#include "opsaccount_test.moc"
