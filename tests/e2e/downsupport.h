#pragma once
// Whole runs through the program's own windows against the demo site: the program
// directory and data root, the four windows as the program creates them, waiting while
// the event loop runs, reading what the browser shows, and screenshots on request.
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWebEnginePage>
#include <functional>
#include <memory>
#include <string>

#include "base/files.h"
#include "shell/checkupdate.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/program.h"
#include "shell/qttext.h"
#include "shell/savepath.h"
#include "tests/shell/windowtest.h"

// The program set up once per test executable: a fresh program directory (which is also
// the data root) holding main.css, every site host on a running demo site, and the four
// windows, with the main window shown. The windows live until the end, as in the program.
class DownloadProgram {
 public:
  DownloadProgram() {
    WriteFileBytes(dir_.dir + "/main.css", ReadFileBytes(std::string(VARNOLT_APP_DIR) + "/main.css"));
    site_ = std::make_unique<DemoSite>();
    CreateWindows();
    frmmain->show();
  }
  // Call once every run has ended: the windows go, the browser first.
  ~DownloadProgram() {
    delete frmmain;
    frmmain = nullptr;
    checkupdate::WaitForAll(20000);
    for (QDialog** d : {&frmdown, &frmabout, &frmquery}) {
      delete *d;
      *d = nullptr;
    }
    site_.reset();
  }

  const std::string& Root() const { return dir_.dir; }

 private:
  TestProgramDirectory dir_;  // before the site: the site's hosts replace its silent ones
  std::unique_ptr<DemoSite> site_;
};

// Lets the event loop run until done() holds or timeoutMs passes; returns done().
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  return QTest::qWaitFor(done, timeoutMs);
}

// Watches the main window's browser for a page: Wait() returns true once the browser has
// gone to url and then finished loading it with success.
class PageWatch {
 public:
  explicit PageWatch(const QUrl& url) {
    QObject::connect(frmmain->webb, &QWebEngineView::urlChanged, &context_, [this, url](const QUrl& now) {
      arrived_ = now == url;
      loaded_ = false;
    });
    QObject::connect(frmmain->webb, &QWebEngineView::loadFinished, &context_,
                     [this](bool ok) { loaded_ = arrived_ && ok; });
  }
  bool Wait(int timeoutMs = 30000) {
    return WaitUntil([this] { return loaded_; }, timeoutMs);
  }

 private:
  QObject context_;  // ends the connections with the watch
  bool arrived_ = false;
  bool loaded_ = false;
};

// The page's text or markup as the browser has it (empty after timeoutMs).
inline QString PageText(bool html, int timeoutMs = 15000) {
  QString result;
  bool got = false;
  auto take = [&](const QString& s) {
    result = s;
    got = true;
  };
  if (html)
    frmmain->webb->page()->toHtml(take);
  else
    frmmain->webb->page()->toPlainText(take);
  WaitUntil([&] { return got; }, timeoutMs);
  return result;
}

// The local files the page's links to PDFs point at, as the browser resolves them.
inline QStringList LinkedPdfFiles() {
  QStringList files;
  QRegularExpression href("href=\"([^\"]*\\.pdf)\"", QRegularExpression::CaseInsensitiveOption);
  const QUrl base = frmmain->webb->url();
  for (const QRegularExpressionMatch& m : href.globalMatch(PageText(true))) {
    QUrl target = base.resolved(QUrl(m.captured(1)));
    files << target.toLocalFile();
  }
  return files;
}

// Saves a picture of window as <VARNOLT_E2E_SHOTS>/name when that variable names a folder.
// Windows with a web page are taken from the screen, where the page's own drawing is.
inline void Shot(QWidget* window, const QString& name) {
  QString folder = qEnvironmentVariable("VARNOLT_E2E_SHOTS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  QTest::qWait(300);  // let the last paint reach the screen
  QPixmap picture = window->findChild<QWebEngineView*>()
                        ? QGuiApplication::primaryScreen()->grabWindow(window->winId())
                        : window->grab();
  if (!picture.save(folder + "/" + name)) qWarning("could not save %s", qPrintable(name));
}
