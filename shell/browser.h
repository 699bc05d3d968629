#pragma once
#include <QString>
#include <QWebEngineView>

#include "base/errors.h"

// A failure of the browser control, raised in the handler that called it.
class EBrowserError : public EMessageException {
 public:
  using EMessageException::EMessageException;
};

// The main window's embedded browser: navigate, back, forward, refresh, stop and the
// command-state notification, on top of QWebEngineView. Pages without a declared
// charset are read as GBK. Local pages (file: addresses) are shown with scripts off and
// without loads from remote addresses, because the pages the program writes carry text
// from the search site as markup. (They still load local files such as main.css; with
// scripts off nothing on the page can read them.)
class TWebBrowser : public QWebEngineView {
  Q_OBJECT
 public:
  // The command numbers of CommandStateChange.
  static constexpr int kCommandForward = 1;
  static constexpr int kCommandBack = 2;

  explicit TWebBrowser(QWidget* parent = nullptr);

  // A web address, or a local file-system path (anything that starts with "/").
  // Returns at once; loading goes on in the background.
  void Navigate(const QString& target);
  // Throw EBrowserError when the history has no such page.
  void GoBack();
  void GoForward();
  void Refresh();
  void Stop();
  // A PDF at a page, in the engine's own viewer (other PDFs, such as a report's links,
  // still go to the system's viewer).
  void ShowPdfPage(const QString& file, int page);

  // The address a target of Navigate turns into.
  static QUrl AddressOf(const QString& target);

 signals:
  // command 1: going forward possible or not; command 2: going back possible or not.
  void CommandStateChange(int command, bool enable);
};
