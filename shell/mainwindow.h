#pragma once
#include <QMainWindow>
#include <QString>
#include <utility>
#include <vector>
#include <string>

#include "base/datadir.h"
#include "shell/browser.h"
#include "shell/glyphs.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QToolButton;
class QWidget;
class TClickLabel;
class TLeftLineBevel;
class Tfrmlibrary;
class Tfrmopsaccount;

// A button of the main window's toolbar: its glyph and hint, raised under the mouse, never
// taking the focus from the page.
QToolButton* SpeedButton(QWidget* parent, const char* name, int x, int y, int w, int h, glyphs::Glyph glyph,
                         const char* gbkHint);
enum class TSourceKind;

// The main window: an embedded browser under a toolbar, with menus and a status bar.
class Tfrmmain : public QMainWindow {
  Q_OBJECT
 public:
  explicit Tfrmmain(QWidget* parent = nullptr);
  ~Tfrmmain() override;

  // The program's version number, set during creation.
  int version = 0;

  // Controls, named as their objectName.
  QFrame* Panel2 = nullptr;
  QToolButton* BtnBack = nullptr;
  QToolButton* BtnNext = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QToolButton* SpeedButton3 = nullptr;
  TLeftLineBevel* Bevel1 = nullptr;
  QToolButton* SpeedButton4 = nullptr;
  QToolButton* SpeedButton5 = nullptr;
  QWidget* floatpad = nullptr;
  QComboBox* optioncb = nullptr;
  QLineEdit* ch2en = nullptr;
  TClickLabel* Image1 = nullptr;
  TWebBrowser* webb = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel* StatusPanel0 = nullptr;  // stays empty
  QLabel* StatusPanel1 = nullptr;  // the data-directory text
  QLabel* StatusPanel2 = nullptr;  // the source of patent data
  QLabel* StatusPanel3 = nullptr;  // what runs: a search, a download, where they stand
  Tfrmopsaccount* frmopsaccount = nullptr;

  // Menus and their items.
  QMenu* N2 = nullptr;
  QMenu* N1 = nullptr;
  QMenu* N9 = nullptr;
  QMenu* N5 = nullptr;
  QMenu* N16 = nullptr;
  QMenu* NSource = nullptr;
  QAction *N3 = nullptr, *N4 = nullptr, *N6 = nullptr, *N7 = nullptr, *N8 = nullptr, *N15 = nullptr,
          *N13 = nullptr, *PDF1 = nullptr, *N14 = nullptr, *nabt = nullptr, *N10 = nullptr, *N11 = nullptr,
          *N12 = nullptr, *N17 = nullptr, *N18 = nullptr, *N19 = nullptr, *N20 = nullptr, *SPO1 = nullptr,
          *WIPO1 = nullptr, *N21 = nullptr, *NSourceSite = nullptr, *NSourceOps = nullptr, *NOpsAccount = nullptr,
          *NWatch = nullptr;

  // The patent library's items (mainlibrary.cpp): the 资料库 window, the export of the
  // search report shown, the page shown saved as PDF.
  TLeftLineBevel* Bevel2 = nullptr;
  QToolButton* SpeedButton6 = nullptr;  // 资料库
  QToolButton* SpeedButton7 = nullptr;  // 导出检索报告
  QToolButton* SpeedButton8 = nullptr;  // 另存为PDF
  QAction *N22 = nullptr, *NLibrary = nullptr, *NExport = nullptr, *NSavePdf = nullptr;
  Tfrmlibrary* frmlibrary = nullptr;
  void NLibraryClick();
  void NExportClick();
  void NSavePdfClick();
  // The records of the search report shown into file (the format from its suffix).
  void ExportReportTo(const QString& file);
  // The page shown as a PDF at file; a message box says when it is written or why not.
  void SavePageAsPdf(const QString& file);
  // Shows the PDF at the page in the browser (the library window's double click).
  void ShowPdfPage(const QString& file, int page);
  // On a data directory without a library that holds search reports or PDFs: offers to
  // import them (once: the library the answer leaves behind is not offered again).
  void OfferImport();

  // Handlers, named after control and event.
  void FormResize();
  void BtnBackClick();
  void BtnNextClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void SpeedButton3Click();
  void N3Click();  // SpeedButton4 as well
  void N4Click();  // SpeedButton5 as well
  void NWatchClick();
  void N6Click();
  void N7Click();
  void NSourceSiteClick();
  void NSourceOpsClick();
  void NOpsAccountClick();
  void N8Click();
  void N13Click();
  void PDF1Click();
  void N14Click();
  void nabtClick();
  void N10Click();
  void N17Click();
  void N18Click();
  void N19Click();
  void N20Click();
  void SPO1Click();
  void WIPO1Click();
  void N12Click();
  void webbCommandStateChange(int command, bool enable);
  // Runs the lookup on Enter (13); true when the key was taken.
  bool ch2enKeyPress(int key);
  void Image1Click();
  void Checkversion();
  // The source a run takes now, in the menu's checks and the status bar.
  void ShowSource();
  // When runs go to OPS and no credentials are set: says where to get them (free) and
  // offers the account dialog.
  void GuideToOpsAccount();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildToolbar();
  void BuildMenus();
  void BuildStatusBar();
  // The running runs' texts, in the order they started, for StatusPanel3.
  std::vector<std::pair<const void*, QString>> running_;
  void BuildLibraryItems();
  // Export follows what the browser shows: a search report.
  void ShowLibraryActions();
  void FormCreate();
  void SetDataDirectoryText(const char* gbkPrefix);
  void Clean(datadir::Folder folder);
  void ChooseSourceItem(TSourceKind kind);
  void Lookup();
  void ShowAddress(const std::string& gbkAddress);
};
