#pragma once
// Shared by the whole-run tests: the program's four real windows, started as the program
// starts them, against the demo site, and what the main window's browser shows. The
// window-test support (waiting, message boxes, main()) comes with it.
//
//   E2EProgram program;                  // demo site, program directory, the four windows
//   PageWatch / PageText / LinkedPdfFiles // what the main window's browser shows
//   Shot(window, "name");                // into $VARNOLT_E2E_SHOTS when that is set
#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QWebEnginePage>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/gbk.h"
#include "shell/application.h"
#include "shell/updateworker.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/program.h"
#include "shell/qttext.h"
#include "base/datadir.h"
#include "tests/shell/windowtest.h"
#include "tests/support/demosite.h"

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
    return WaitFor([this] { return loaded_; }, timeoutMs);
  }

 private:
  QObject context_;  // ends the connections with the watch
  bool arrived_ = false;
  bool loaded_ = false;
};

// The page's text or markup as the main window's browser has it (empty after timeoutMs).
inline QString PageText(bool html = false, int timeoutMs = 15000) {
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
  WaitFor([&] { return got; }, timeoutMs);
  return result;
}

// The local files the page's links to PDFs point at, as the browser resolves them.
inline QStringList LinkedPdfFiles() {
  QStringList files;
  QRegularExpression href("href=\"([^\"]*\\.pdf)\"", QRegularExpression::CaseInsensitiveOption);
  const QUrl base = frmmain->webb->url();
  for (const QRegularExpressionMatch& m : href.globalMatch(PageText(true)))
    files << base.resolved(QUrl(m.captured(1))).toLocalFile();
  return files;
}

// The folder named by VARNOLT_E2E_SHOTS, or empty when screenshots are not wanted.
inline QString ShotsDirectory() { return qEnvironmentVariable("VARNOLT_E2E_SHOTS"); }

// Saves shot as <name>.png in the screenshot folder; nothing when none is wanted.
inline void SaveShot(const QPixmap& shot, const QString& name) {
  const QString dir = ShotsDirectory();
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  const QString file = dir + "/" + name + ".png";
  if (!shot.save(file)) qWarning("could not save %s", qPrintable(file));
}

// Saves a picture of window as <name>.png when screenshots are wanted. A window with a web
// view is taken from the screen, where the page's own drawing is.
inline void Shot(QWidget* window, const QString& name) {
  if (ShotsDirectory().isEmpty()) return;
  QTest::qWait(300);  // let the last paint reach the screen
  SaveShot(window->findChild<QWebEngineView*>()
               ? window->screen()->grabWindow(0, window->frameGeometry().x(), window->frameGeometry().y(),
                                              window->frameGeometry().width(), window->frameGeometry().height())
               : window->grab(),
           name);
}

// The program as it starts: a program directory of its own holding main.css, every site
// host on the demo site, message boxes answered by `boxes`, and the four windows created
// in their order with the main window shown. The data root is the program directory.
// Runs must have ended before the object goes (the dialogs hand their controls to them).
class E2EProgram {
 public:
  explicit E2EProgram(std::vector<std::string> siteArgs = {}) : site(std::move(siteArgs)) {
    WriteFileBytes(dir.dir + "/main.css", ReadFileBytes(TPath::FromSystem(VARNOLT_APP_DIR "/main.css")));
    CreateWindows();
    frmmain->show();
  }
  ~E2EProgram() {
    // The dialogs first: they are the main window's users, never the other way round.
    delete frmwatch;
    delete frmquery;
    delete frmabout;
    delete frmdown;
    delete frmmain;
    frmwatch = frmquery = frmabout = frmdown = nullptr;
    frmmain = nullptr;
    checkupdate::WaitForAll(20000);
    datadir::SetRoot(TPath());
  }
  E2EProgram(const E2EProgram&) = delete;
  E2EProgram& operator=(const E2EProgram&) = delete;

  TPath Root() const { return datadir::Root(); }

  TestProgramDirectory dir;  // first: the site below points the hosts at itself
  DemoSite site;
  BoxRecorder boxes;
};
