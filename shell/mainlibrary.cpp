// The main window's items of the patent library: the 资料库 window (menu and toolbar), the
// export of the search report shown, the page shown saved as PDF, and the offer to import
// what a data directory already holds.
#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QWebEnginePage>
#include <thread>

#include "base/datadir.h"
#include "base/files.h"
#include "library/import.h"
#include "library/library.h"
#include "library/reportreader.h"
#include "shell/frmlibrary.h"
#include "shell/glyphs.h"
#include "shell/librarytexts.h"
#include "shell/mainwindow.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/widgets.h"

namespace {

using namespace mainlibrarytext;

// A search report of the data directory: data/query/<name>.html.
bool IsSearchReport(const QUrl& url) {
  if (!url.isLocalFile()) return false;
  const QString file = url.toLocalFile();
  return file.endsWith(".html", Qt::CaseInsensitive) && file.contains("/data/query/");
}

}  // namespace

void Tfrmmain::BuildLibraryItems() {
  Bevel2 = new TLeftLineBevel(Panel2);
  Bevel2->setObjectName("Bevel2");
  Bevel2->setGeometry(240, 1, 33, 33);
  SpeedButton6 = SpeedButton(Panel2, "SpeedButton6", 248, 4, 23, 22, glyphs::Glyph::Library, kHintLibrary);
  SpeedButton7 = SpeedButton(Panel2, "SpeedButton7", 280, 4, 23, 22, glyphs::Glyph::Export, kHintExport);
  SpeedButton8 = SpeedButton(Panel2, "SpeedButton8", 312, 4, 23, 22, glyphs::Glyph::SavePdf, kHintSavePdf);
  N22 = N2->addSeparator();
  N22->setObjectName("N22");
  NLibrary = MenuItem(N2, "NLibrary", QtText(kMenuLibrary), this, &Tfrmmain::NLibraryClick);
  NExport = MenuItem(N2, "NExport", QtText(kMenuExport), this, &Tfrmmain::NExportClick);
  NSavePdf = MenuItem(N2, "NSavePdf", QtText(kMenuSavePdf), this, &Tfrmmain::NSavePdfClick);
  connect(SpeedButton6, &QToolButton::clicked, this, &Tfrmmain::NLibraryClick);
  connect(SpeedButton7, &QToolButton::clicked, this, &Tfrmmain::NExportClick);
  connect(SpeedButton8, &QToolButton::clicked, this, &Tfrmmain::NSavePdfClick);
  connect(webb, &QWebEngineView::urlChanged, this, &Tfrmmain::ShowLibraryActions);
  connect(webb->page(), &QWebEnginePage::pdfPrintingFinished, this, [this](const QString& file, bool written) {
    msgbox::Show(this, QtText(written ? kPdfSaved : kPdfFailed) + file);
  });
  ShowLibraryActions();
}

void Tfrmmain::ShowLibraryActions() {
  const bool report = IsSearchReport(webb->url());
  SpeedButton7->setEnabled(report);
  NExport->setEnabled(report);
}

void Tfrmmain::NLibraryClick() {
  if (!frmlibrary) {
    frmlibrary = new Tfrmlibrary(this);
    connect(frmlibrary, &Tfrmlibrary::OpenPdf, this, &Tfrmmain::ShowPdfPage);
  }
  frmlibrary->show();
  frmlibrary->raise();
  frmlibrary->activateWindow();
}

void Tfrmmain::ShowPdfPage(const QString& file, int page) {
  webb->ShowPdfPage(file, page);
  raise();
  activateWindow();
}

void Tfrmmain::NExportClick() {
  if (!IsSearchReport(webb->url())) {
    msgbox::Show(this, QtText(kNotAReport));
    return;
  }
  const QString name = QFileInfo(webb->url().toLocalFile()).completeBaseName();
  const QString file = ChooseExportFile(this, name);
  if (!file.isEmpty()) ExportReportTo(file);
}

void Tfrmmain::ExportReportTo(const QString& file) {
  std::vector<TPatentRecord> records;
  try {
    records = ReadSearchReport(ReadFileBytes(PathFromQt(webb->url().toLocalFile()))).records;
  } catch (const std::exception& e) {
    msgbox::Show(this, QtText(e.what()));
    return;
  }
  if (records.empty()) {
    msgbox::Show(this, QtText(frmlibrarytext::kNothingToExport));
    return;
  }
  ExportShown(this, WithKnownDocuments(datadir::Root(), records), file);
}

void Tfrmmain::NSavePdfClick() {
  QFileDialog dialog(this, QtText(kMenuSavePdf).remove(QString::fromUtf8("…")));
  dialog.setObjectName("pdfdialog");
  MakeProgramFileDialog(&dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(QtText(kPdfFilter));
  dialog.setDefaultSuffix("pdf");
  dialog.setDirectory(QtPath(datadir::FolderPath(datadir::Root(), datadir::Folder::Data)));
  const QString shown = QFileInfo(webb->url().toLocalFile()).completeBaseName();
  dialog.selectFile((shown.isEmpty() ? webb->title() : shown) + ".pdf");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  SavePageAsPdf(dialog.selectedFiles().first());
}

void Tfrmmain::SavePageAsPdf(const QString& file) {
  // Written in the background; pdfPrintingFinished says how it went.
  webb->page()->printToPdf(file, QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                             QPageLayout::Millimeter));
}

void Tfrmmain::OfferImport() {
  const TPath root = datadir::Root();
  if (FileExists(TLibrary::FilePath(root))) return;
  const TImportable files = ImportableFiles(root);
  if (files.reports + files.pdfs == 0) return;
  const bool yes = msgbox::Ask(this,
                               QtText(kOfferImport) + QString::number(files.reports) + QtText(kOfferImportB) +
                                   QString::number(files.pdfs) + QtText(kOfferImportC),
                               QtText(kOfferCaption));
  if (!yes) {
    try {
      // An empty library: the offer is not made again.
      TLibrary library(root);
    } catch (const std::exception&) {
    }
    return;
  }
  // PDFs take a moment each: the window stays usable, and says when they are in.
  std::thread([this, root] {
    QString said;
    try {
      const TImportCounts c = ImportDataRoot(root, nullptr);
      said = QtText(kImported) + QString::number(c.addedRecords) + QtText(kImportedB) +
             QString::number(c.addedDocuments) + QtText(kImportedC);
    } catch (const std::exception& e) {
      said = QtText(kImportFailed) + QtText(e.what());
    }
    QMetaObject::invokeMethod(this, [this, said] { msgbox::Show(this, said); }, Qt::QueuedConnection);
  }).detach();
}
