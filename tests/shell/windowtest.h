#pragma once
// Shared by the window tests: a program directory of their own, hosts that answer
// nothing, message boxes answered by the test and system opens caught, waiting while the
// main thread keeps serving the workers' hand-overs.
//
//   WaitFor([&] { return done; });       // pumps events until true (false after the limit)
//   RunPumping([] { getquery::WaitAllDone(); });   // a blocking wait that needs the main thread
//   VARNOLT_QTEST_MAIN(MyTest)           // main() with the program's application object
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/appdir.h"
#include "base/files.h"
#include "base/gbk.h"
#include "base/hosts.h"
#include "shell/application.h"
#include "shell/msgbox.h"
#include "sources/source.h"
#include "tests/support/demosite.h"
#include "tests/support/tempdir.h"
#include "tests/support/textcheck.h"

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }
inline std::string G(const char* utf8) { return Utf8ToGbk(utf8); }

// How often piece occurs in text.
// main() of a window test: the program's application object (title, error display),
// which keeps the web engine's switches; the test runner gets the other arguments.
#define VARNOLT_QTEST_MAIN(TestClass)                             \
  int main(int argc, char** argv) {                               \
    TApplication app(argc, argv);                                 \
    TestClass test;                                               \
    QStringList args;                                             \
    for (const QString& a : app.arguments())                      \
      if (!a.startsWith("--disable-gpu")) args << a;              \
    return QTest::qExec(&test, args);                             \
  }

// Pumps the main thread's events until condition holds; false when timeoutMs passed first.
inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 30000) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QTest::qWait(10);
  }
  return true;
}

// Runs a blocking wait on a thread of its own while the main thread keeps pumping events,
// so workers blocked in a hand-over can finish. False when timeoutMs passed first (the
// helper thread is then left behind: the test has failed anyway).
inline bool RunPumping(const std::function<void()>& blockingCall, int timeoutMs = 30000) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread([blockingCall, done] {
    blockingCall();
    *done = true;
  }).detach();
  return WaitFor([done] { return done->load(); }, timeoutMs);
}

// Runs fn on the next modal dialog that opens (a directory chooser, a file dialog).
inline void OnNextModal(std::function<void(QWidget*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, fn] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      fn(w);
    }
  });
  timer->start(50);
}

struct ShownBox {
  msgbox::Kind kind;
  QString text;
  QString caption;
};

// Answers every message box from a queue (No when empty) and keeps what was shown.
class BoxRecorder {
 public:
  BoxRecorder() {
    msgbox::SetHandlerForTesting([this](msgbox::Kind kind, const QString& text, const QString& caption) {
      shown.push_back({kind, text, caption});
      if (answers.empty()) return false;
      bool a = answers.front();
      answers.pop_front();
      return a;
    });
  }
  ~BoxRecorder() { msgbox::SetHandlerForTesting(nullptr); }
  std::vector<ShownBox> shown;
  std::deque<bool> answers;
};

// Takes the addresses the program hands to the system instead of opening them.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() {
    for (const char* scheme : {"http", "https", "file", "mailto", "xmpp"}) QDesktopServices::setUrlHandler(scheme, this, "open");
  }
  ~UrlCatcher() override {
    for (const char* scheme : {"http", "https", "file", "mailto", "xmpp"}) QDesktopServices::unsetUrlHandler(scheme);
  }
  std::vector<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.push_back(url); }
};

// A fresh program directory, and every site host on a loopback port where nothing listens.
class TestProgramDirectory {
 public:
  TestProgramDirectory() {
    SetProgramDirectoryForTesting(dir);
    SiteHosts h;
    h.SearchHost = h.PortalHost = h.MakerHost = h.DictionaryHost = h.WebSearchHost = "127.0.0.1:9";
    h.OfficeCN = h.OfficeDerwent = h.OfficeEP = h.OfficeJP = h.OfficeUS = h.OfficeWIPO = "127.0.0.1:9";
    SetHosts(h);
  }
  ~TestProgramDirectory() { SetProgramDirectoryForTesting(TPath()); }
  TempDir temp;
  const TPath dir = temp.Path();
};

// Two demo sites with their OPS roles, one serving freely and one whose hourly quota ends
// after two data requests; OPS is the source, with the demo account in the environment.
// Use() points OpsHost at one of them. The client reads its trust store once, so both
// roles' authorities go into one file.
class TwoOpsRoles {
 public:
  TwoOpsRoles() {
    WriteFileBytes(caFile_, ReadFileBytes(full.CaFile()) + ReadFileBytes(limited.CaFile()));
    SaveSource(TSourceKind::Ops);
  }
  ~TwoOpsRoles() { SaveSource(TSourceKind::Site); }
  void Use(const DemoSite& role) {
    SiteHosts hosts = Hosts();
    hosts.OpsHost = role.OpsAddress();
    SetHosts(hosts);
  }
  DemoSite full{{}, false, true};
  DemoSite limited{{"--ops-quota", "hour:2"}, false, true};

 private:
  TempDir cas_;
  const TPath caFile_ = cas_.Path() + "/cas.pem";
  ScopedEnv ca_{"SSL_CERT_FILE", caFile_.Bytes()};
  ScopedEnv key_{"VARNOLT_OPS_KEY", std::string(DemoSite::kOpsKey)};
  ScopedEnv secret_{"VARNOLT_OPS_SECRET", std::string(DemoSite::kOpsSecret)};
};
