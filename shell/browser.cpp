#include "browser.h"

#include <QAction>
#include <QDesktopServices>
#include <QProcess>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"

namespace {

// A local PDF asked for at a page (TWebBrowser::ShowPdfPage).
bool IsPdfPage(const QUrl& url) { return url.isLocalFile() && url.fragment().startsWith("page="); }

// Sets scripting per navigation: off for local pages, on for web pages; the engine's PDF
// viewer only for a PDF asked for at a page.
class TBrowserPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    if (isMainFrame) {
      settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, !url.isLocalFile());
      // The engine's viewer is a plugin: both go together.
      settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, IsPdfPage(url));
      settings()->setAttribute(QWebEngineSettings::PluginsEnabled, IsPdfPage(url));
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
  }
};

// Whether the desktop names a program for PDF files. Without one the system's opener
// fails after it has started, unseen, so the question is put before.
bool PdfViewerSetUp() {
  QProcess query;
  query.start("xdg-mime", {"query", "default", "application/pdf"});
  if (!query.waitForFinished(5000)) {
    query.kill();
    query.waitForFinished(1000);
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

void OpenDownloads(QWebEngineProfile* profile) {
  // A link to a stored PDF opens in the system's viewer; other downloads go to the
  // user's download folder as the engine decides.
  static bool connected = false;
  if (connected) return;
  connected = true;
  QObject::connect(profile, &QWebEngineProfile::downloadRequested, profile, [](QWebEngineDownloadRequest* download) {
    const QUrl url = download->url();
    if (!url.isLocalFile()) {
      download->accept();
      return;
    }
    download->cancel();
    const QString file = url.toLocalFile();
    if (file.endsWith(".pdf", Qt::CaseInsensitive) && !PdfViewerSetUp()) {
      // After the engine's signal has returned, not inside it.
      QTimer::singleShot(0, [file] { msgbox::Show(nullptr, QtText(shelltext::kNoPdfViewer) + file); });
      return;
    }
    QDesktopServices::openUrl(url);
  });
}

}  // namespace

TWebBrowser::TWebBrowser(QWidget* parent) : QWebEngineView(parent) {
  setObjectName("webb");
  auto* page = new TBrowserPage(this);
  setPage(page);
  QWebEngineSettings* s = page->settings();
  s->setDefaultTextEncoding("GBK");
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
  OpenDownloads(page->profile());

  // The back and forward state comes from the page's own actions.
  QAction* back = page->action(QWebEnginePage::Back);
  QAction* forward = page->action(QWebEnginePage::Forward);
  connect(back, &QAction::changed, this, [this, back] { emit CommandStateChange(kCommandBack, back->isEnabled()); });
  connect(forward, &QAction::changed, this,
          [this, forward] { emit CommandStateChange(kCommandForward, forward->isEnabled()); });
  // Like the control it stands for, report both states again at every navigation.
  connect(this, &QWebEngineView::urlChanged, this, [this, back, forward] {
    emit CommandStateChange(kCommandForward, forward->isEnabled());
    emit CommandStateChange(kCommandBack, back->isEnabled());
  });
}

QUrl TWebBrowser::AddressOf(const QString& target) {
  if (target.startsWith('/')) {
    // The system reads "//x" as "/x"; an address would take x for a network host.
    qsizetype extra = 0;
    while (extra + 1 < target.size() && target[extra + 1] == '/') ++extra;
    return QUrl::fromLocalFile(target.mid(extra));
  }
  return QUrl(target, QUrl::TolerantMode);
}

void TWebBrowser::Navigate(const QString& target) { load(AddressOf(target)); }

void TWebBrowser::GoBack() {
  if (!history()->canGoBack()) throw EBrowserError("No earlier page in the history.");
  back();
}

void TWebBrowser::GoForward() {
  if (!history()->canGoForward()) throw EBrowserError("No later page in the history.");
  forward();
}

void TWebBrowser::Refresh() { reload(); }

void TWebBrowser::Stop() { stop(); }

void TWebBrowser::ShowPdfPage(const QString& file, int page) {
  QUrl url = QUrl::fromLocalFile(file);
  url.setFragment("page=" + QString::number(page));
  settings()->setAttribute(QWebEngineSettings::PdfViewerEnabled, true);
  settings()->setAttribute(QWebEngineSettings::PluginsEnabled, true);
  load(url);
}
