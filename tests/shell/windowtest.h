#pragma once
// Shared by the window tests: a program directory of their own, hosts that answer
// nothing, message boxes answered by the test and system opens caught.
#include <QDesktopServices>
#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>
#include <string>
#include <vector>

#include "base/appdir.h"
#include "base/hosts.h"
#include "shell/msgbox.h"
#include "tests/support/tempdir.h"

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
  ~TestProgramDirectory() { SetProgramDirectoryForTesting(""); }
  TempDir temp;
  const std::string dir = temp.Path();
};
