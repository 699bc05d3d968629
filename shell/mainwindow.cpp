#include "mainwindow.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/errors.h"
#include "base/files.h"
#include "base/hosts.h"
#include "shell/updateworker.h"
#include "shell/cleaning.h"
#include "shell/dirchooser.h"
#include "shell/forms.h"
#include "shell/frmopsaccount.h"
#include "shell/glyphs.h"
#include "shell/lookup.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/qthandover.h"
#include "shell/recordsindex.h"
#include "shell/shelltexts.h"
#include "shell/versionfile.h"
#include "shell/widgets.h"
#include "sources/source.h"

namespace {

constexpr int kFloatpadWidth = 281;

QAction* Item(QMenu* menu, const char* name, const char* gbkCaption, Tfrmmain* window, void (Tfrmmain::*handler)()) {
  return MenuItem(menu, name, QtText(gbkCaption), window, handler);
}

QAction* Separator(QMenu* menu, const char* name) {
  QAction* a = menu->addSeparator();
  a->setObjectName(name);
  return a;
}

// A menu of the menu bar or a submenu; its entry in the parent carries its name as well.
template <class Parent>
QMenu* Menu(Parent* parent, const char* name, const char* gbkCaption) {
  QMenu* m = parent->addMenu(QtText(gbkCaption));
  m->setObjectName(name);
  m->menuAction()->setObjectName(name);
  return m;
}

}  // namespace

QToolButton* SpeedButton(QWidget* parent, const char* name, int x, int y, int w, int h, glyphs::Glyph glyph,
                         const char* gbkHint) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setGeometry(x, y, w, h);
  b->setAutoRaise(true);
  b->setIcon(glyphs::ToolbarGlyph(glyph));
  b->setIconSize(QSize(16, 16));
  b->setToolTip(QtText(gbkHint));
  b->setCursor(Qt::PointingHandCursor);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

Tfrmmain::Tfrmmain(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmmain");
  setFont(FormFont());

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setCentralWidget(central);

  Panel2 = new QFrame(central);
  Panel2->setObjectName("Panel2");
  Panel2->setFixedHeight(31);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  layout->addWidget(Panel2);
  BuildToolbar();

  webb = new TWebBrowser(central);
  layout->addWidget(webb, 1);

  BuildMenus();
  BuildStatusBar();
  BuildLibraryItems();

  resize(977, 640);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - 977) / 2, area.y() + (area.height() - 640) / 2);
  }
  FormCreate();
}

void Tfrmmain::BuildToolbar() {
  using glyphs::Glyph;
  // The bevel first, so the button it overlaps lies above it.
  Bevel1 = new TLeftLineBevel(Panel2);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setGeometry(168, 1, 33, 33);
  BtnBack = SpeedButton(Panel2, "BtnBack", 8, 4, 23, 23, Glyph::Back, shelltext::kHintBack);
  BtnNext = SpeedButton(Panel2, "BtnNext", 40, 4, 23, 23, Glyph::Forward, shelltext::kHintNext);
  SpeedButton1 = SpeedButton(Panel2, "SpeedButton1", 72, 4, 23, 22, Glyph::Refresh, shelltext::kHintRefresh);
  SpeedButton2 = SpeedButton(Panel2, "SpeedButton2", 104, 4, 23, 22, Glyph::Stop, shelltext::kHintStop);
  SpeedButton3 = SpeedButton(Panel2, "SpeedButton3", 136, 4, 23, 22, Glyph::Records, shelltext::kHintRecords);
  SpeedButton4 = SpeedButton(Panel2, "SpeedButton4", 176, 4, 23, 22, Glyph::Search, shelltext::kHintSearch);
  SpeedButton5 = SpeedButton(Panel2, "SpeedButton5", 208, 4, 23, 22, Glyph::Download, shelltext::kHintDownload);
  connect(BtnBack, &QToolButton::clicked, this, &Tfrmmain::BtnBackClick);
  connect(BtnNext, &QToolButton::clicked, this, &Tfrmmain::BtnNextClick);
  connect(SpeedButton1, &QToolButton::clicked, this, &Tfrmmain::SpeedButton1Click);
  connect(SpeedButton2, &QToolButton::clicked, this, &Tfrmmain::SpeedButton2Click);
  connect(SpeedButton3, &QToolButton::clicked, this, &Tfrmmain::SpeedButton3Click);
  connect(SpeedButton4, &QToolButton::clicked, this, &Tfrmmain::N3Click);
  connect(SpeedButton5, &QToolButton::clicked, this, &Tfrmmain::N4Click);

  floatpad = new QWidget(Panel2);
  floatpad->setObjectName("floatpad");
  floatpad->setGeometry(672, 1, kFloatpadWidth, 38);

  // Created before optioncb: the edit comes first in the tab order.
  ch2en = new QLineEdit(floatpad);
  ch2en->setObjectName("ch2en");
  ch2en->setGeometry(88, 4, 153, 21);
  ch2en->installEventFilter(this);

  optioncb = new QComboBox(floatpad);
  optioncb->setObjectName("optioncb");
  optioncb->setGeometry(8, 4, 73, 21);
  optioncb->setEditable(true);
  // Text typed into it is a mode of its own (the web search), never a third item.
  optioncb->setInsertPolicy(QComboBox::NoInsert);
  optioncb->addItem(QtText(shelltext::kModeDictionary));
  optioncb->addItem(QtText(shelltext::kModeWebSearch));
  optioncb->setCurrentIndex(1);

  Image1 = new TClickLabel(floatpad);
  Image1->setObjectName("Image1");
  Image1->setGeometry(248, 2, 25, 25);
  Image1->setPixmap(glyphs::LookupIcon());
  Image1->setAlignment(Qt::AlignCenter);
  Image1->setToolTip(QtText(shelltext::kHintStart));
  Image1->setCursor(Qt::PointingHandCursor);
  connect(Image1, &TClickLabel::clicked, this, &Tfrmmain::Image1Click);

}

void Tfrmmain::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("MainMenu1");
  N2 = Menu(bar, "N2", shelltext::kMenuOperate);
  N3 = Item(N2, "N3", shelltext::kMenuSearch, this, &Tfrmmain::N3Click);
  N4 = Item(N2, "N4", shelltext::kMenuDownload, this, &Tfrmmain::N4Click);
  NWatch = Item(N2, "NWatch", frmwatchtext::kMenuWatch, this, &Tfrmmain::NWatchClick);
  N1 = Menu(bar, "N1", shelltext::kMenuSettings);
  N6 = Item(N1, "N6", shelltext::kMenuChooseDir, this, &Tfrmmain::N6Click);
  N7 = Item(N1, "N7", shelltext::kMenuOpenDir, this, &Tfrmmain::N7Click);
  N21 = Separator(N1, "N21");
  NSource = Menu(N1, "NSource", shelltext::kMenuSource);
  NSourceSite = MenuItem(NSource, "NSourceSite", QtText(SourceTitle(TSourceKind::Site)), this, &Tfrmmain::NSourceSiteClick);
  NSourceOps = MenuItem(NSource, "NSourceOps", QtText(SourceTitle(TSourceKind::Ops)), this, &Tfrmmain::NSourceOpsClick);
  auto* sources = new QActionGroup(NSource);
  sources->setExclusive(true);
  for (QAction* a : {NSourceSite, NSourceOps}) {
    a->setCheckable(true);
    sources->addAction(a);
  }
  NOpsAccount = Item(N1, "NOpsAccount", shelltext::kMenuOpsAccount, this, &Tfrmmain::NOpsAccountClick);
  N9 = Menu(bar, "N9", shelltext::kMenuClean);
  N8 = Item(N9, "N8", shelltext::kMenuCleanAll, this, &Tfrmmain::N8Click);
  N15 = Separator(N9, "N15");
  N13 = Item(N9, "N13", shelltext::kMenuCleanQuery, this, &Tfrmmain::N13Click);
  PDF1 = Item(N9, "PDF1", shelltext::kMenuCleanPdf, this, &Tfrmmain::PDF1Click);
  N14 = Item(N9, "N14", shelltext::kMenuCleanTemp, this, &Tfrmmain::N14Click);
  N5 = Menu(bar, "N5", shelltext::kMenuHelp);
  nabt = Item(N5, "nabt", shelltext::kMenuAbout, this, &Tfrmmain::nabtClick);
  N10 = Item(N5, "N10", shelltext::kMenuBlog, this, &Tfrmmain::N10Click);
  N16 = Menu(N5, "N16", shelltext::kMenuPatentSites);
  N17 = Item(N16, "N17", shelltext::kSiteCN, this, &Tfrmmain::N17Click);
  N18 = Item(N16, "N18", shelltext::kSiteDerwent, this, &Tfrmmain::N18Click);
  N19 = Item(N16, "N19", shelltext::kSiteEP, this, &Tfrmmain::N19Click);
  N20 = Item(N16, "N20", shelltext::kSiteJP, this, &Tfrmmain::N20Click);
  SPO1 = Item(N16, "SPO1", shelltext::kSiteUS, this, &Tfrmmain::SPO1Click);
  WIPO1 = Item(N16, "WIPO1", "WIPO", this, &Tfrmmain::WIPO1Click);
  N11 = Separator(N5, "N11");
  N12 = Item(N5, "N12", shelltext::kMenuCheckVersion, this, &Tfrmmain::N12Click);
}

// The runs' hand-overs outlive the window: they must not reach it once it is gone.
Tfrmmain::~Tfrmmain() { QtHandOver::SetStatusHook(nullptr); }

void Tfrmmain::BuildStatusBar() {
  StatusBar1 = statusBar();
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setFixedHeight(19);
  StatusPanel0 = new QLabel(StatusBar1);
  StatusPanel0->setObjectName("StatusPanel0");
  StatusPanel0->setFixedWidth(50);
  StatusPanel1 = new QLabel(StatusBar1);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanel0);
  StatusBar1->addWidget(StatusPanel1, 1);
  StatusPanel2 = new QLabel(StatusBar1);
  StatusPanel2->setObjectName("StatusPanel2");
  StatusPanel3 = new QLabel(StatusBar1);
  StatusPanel3->setObjectName("StatusPanel3");
  StatusBar1->addPermanentWidget(StatusPanel3);
  StatusBar1->addPermanentWidget(StatusPanel2);
  QtHandOver::SetStatusHook([this](const void* run, const QString& text) {
    auto it = std::find_if(running_.begin(), running_.end(), [run](const auto& r) { return r.first == run; });
    if (text.isEmpty()) {
      if (it != running_.end()) running_.erase(it);
    } else if (it != running_.end()) {
      it->second = text;
    } else {
      running_.emplace_back(run, text);
    }
    QStringList shown;
    for (const auto& r : running_) shown << r.second;
    StatusPanel3->setText(shown.join(QStringLiteral("  ")));
  });
}

void Tfrmmain::FormCreate() {
  new checkupdate();
  version = versionfile::kProgramVersion;
  setWindowTitle(QtText(shelltext::kAppTitle));
  datadir::LoadRootAtStart();
  SetDataDirectoryText(shelltext::kStatusSavePath);
  frmopsaccount = new Tfrmopsaccount(this);
  ShowSource();
  // Once the window is up: an installed program goes to OPS, which needs an account first.
  QTimer::singleShot(0, this, &Tfrmmain::GuideToOpsAccount);
  QTimer::singleShot(0, this, &Tfrmmain::OfferImport);
  connect(webb, &TWebBrowser::CommandStateChange, this, &Tfrmmain::webbCommandStateChange);
  const TPath index = datadir::IndexPagePath(datadir::Root());
  if (FileExists(index))
    webb->Navigate(QtPath(index));
  else
    ShowAddress(lookup::LinkAddress(lookup::Link::MakerHome));
}

void Tfrmmain::SetDataDirectoryText(const char* gbkPrefix) {
  StatusPanel1->setText(QtText(gbkPrefix) + QtPath(datadir::FolderPath(datadir::Root(), datadir::Folder::Data)));
}

void Tfrmmain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void Tfrmmain::FormResize() {
  // No lower bound: a narrow window cuts the pad off at the left.
  floatpad->move(width() - floatpad->width() - 10, floatpad->y());
}

void Tfrmmain::BtnBackClick() {
  try {
    webb->GoBack();
  } catch (const EBrowserError&) {
    // No earlier page: the page stays as it is.
  }
}

void Tfrmmain::BtnNextClick() {
  try {
    webb->GoForward();
  } catch (const EBrowserError&) {
  }
}

void Tfrmmain::SpeedButton1Click() { webb->Refresh(); }
void Tfrmmain::SpeedButton2Click() { webb->Stop(); }

void Tfrmmain::SpeedButton3Click() {
  // On a fresh root the first click shows the empty index rather than a failed write.
  const TPath root = datadir::Root();
  datadir::EnsureFolder(root, datadir::Folder::Data);
  webb->Navigate(QtPath(recordsindex::Build(root, ProgramDirectory())));
}

void Tfrmmain::N3Click() {
  if (frmquery) frmquery->exec();
}

void Tfrmmain::N4Click() {
  if (frmdown) frmdown->exec();
}

void Tfrmmain::NWatchClick() {
  if (frmwatch) frmwatch->exec();
}

void Tfrmmain::N6Click() {
  TDirectoryChooser chooser(this, QtPath(datadir::DefaultRoot()));
  if (chooser.exec() != QDialog::Accepted) return;
  const TPath dir = PathFromQt(chooser.Chosen());
  // Settings first: when they cannot be written, the old root stays in force.
  datadir::WriteRootSetting(dir);
  datadir::SetRoot(dir);
  SetDataDirectoryText(shelltext::kStatusChosenPath);
  datadir::EnsureFolder(dir, datadir::Folder::Data);
  OfferImport();
}

void Tfrmmain::N7Click() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(QtPath(datadir::FolderPath(datadir::Root(), datadir::Folder::Data))));
}

void Tfrmmain::ShowSource() {
  const TSourceKind source = ChooseSource();
  (source == TSourceKind::Ops ? NSourceOps : NSourceSite)->setChecked(true);
  StatusPanel2->setText(QtText(shelltext::kStatusSource) + QtText(SourceTitle(source)));
}

void Tfrmmain::ChooseSourceItem(TSourceKind kind) {
  try {
    SaveSource(kind);
  } catch (const EFileError& e) {
    msgbox::Show(this, QtText(shelltext::kSourceNotSaved) + QtText(e.what()));
  }
  // Read back: a choice that could not be saved is not the one in force.
  ShowSource();
  GuideToOpsAccount();
}

void Tfrmmain::NSourceSiteClick() { ChooseSourceItem(TSourceKind::Site); }
void Tfrmmain::NSourceOpsClick() { ChooseSourceItem(TSourceKind::Ops); }
void Tfrmmain::NOpsAccountClick() { frmopsaccount->exec(); }

void Tfrmmain::GuideToOpsAccount() {
  if (ChooseSource() != TSourceKind::Ops || NotReadyReason(TSourceKind::Ops).empty()) return;
  if (msgbox::Ask(this, QtText(shelltext::kFirstRun), QtText(shelltext::kFirstRunCaption))) frmopsaccount->exec();
}

void Tfrmmain::Clean(datadir::Folder folder) {
  const TPath root = datadir::Root();
  const TPath target = cleaning::Target(root, folder);
  // Deleting cannot be undone: the user confirms it first, knowing which folder it is.
  const QString shown = QtPath(datadir::FolderPath(root, folder));
  if (!msgbox::Ask(this, QtText(shelltext::kCleanQuestionStart) + shown + QtText(shelltext::kCleanQuestionEnd),
                   QtText(shelltext::kConfirmCaption)))
    return;
  try {
    const size_t stayed = cleaning::CleanTarget(target);
    if (stayed == 0)
      msgbox::Show(this, QtText(shelltext::kCleanDone));
    else
      msgbox::Show(this, QtText(shelltext::kCleanStayedStart) + QString::number(stayed) +
                             QtText(shelltext::kCleanStayedEnd));
  } catch (...) {
    msgbox::Show(this, QtText(shelltext::kCleanFailed));
  }
}

void Tfrmmain::N8Click() { Clean(datadir::Folder::Data); }
void Tfrmmain::N13Click() { Clean(datadir::Folder::Query); }
void Tfrmmain::PDF1Click() { Clean(datadir::Folder::Pdf); }
void Tfrmmain::N14Click() { Clean(datadir::Folder::Temp); }

void Tfrmmain::nabtClick() {
  if (frmabout) frmabout->exec();
}

void Tfrmmain::ShowAddress(const std::string& gbkAddress) { webb->Navigate(QtText(gbkAddress)); }

void Tfrmmain::N10Click() { ShowAddress(lookup::LinkAddress(lookup::Link::MakerHome)); }
void Tfrmmain::N17Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeCN)); }
void Tfrmmain::N18Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeDerwent)); }
void Tfrmmain::N19Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeEP)); }
void Tfrmmain::N20Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeJP)); }
void Tfrmmain::SPO1Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeUS)); }
void Tfrmmain::WIPO1Click() { ShowAddress(lookup::LinkAddress(lookup::Link::OfficeWIPO)); }

void Tfrmmain::webbCommandStateChange(int command, bool enable) {
  if (command == TWebBrowser::kCommandBack)
    BtnBack->setEnabled(enable);
  else if (command == TWebBrowser::kCommandForward)
    BtnNext->setEnabled(enable);
}

bool Tfrmmain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ch2en && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) return ch2enKeyPress(13);
  }
  return QMainWindow::eventFilter(watched, event);
}

bool Tfrmmain::ch2enKeyPress(int key) {
  if (key != 13) return false;
  Lookup();
  return true;
}

void Tfrmmain::Image1Click() { Lookup(); }

void Tfrmmain::Lookup() {
  std::string address = lookup::LookupAddress(GbkText(optioncb->currentText()), GbkText(ch2en->text()));
  if (!address.empty()) ShowAddress(address);
}

void Tfrmmain::N12Click() { Checkversion(); }

void Tfrmmain::Checkversion() {
  versionfile::UpdateInfo info = versionfile::ReadUpdateInfo(versionfile::ConfigPath());
  if (!versionfile::IsNewer(info, version)) {
    msgbox::Show(this, QtText(shelltext::kUpToDate));
    return;
  }
  if (!msgbox::Ask(this, QtText(info.msg), QtText(shelltext::kUpdateCaption))) return;
  if (versionfile::IsWebAddress(info.url))
    QDesktopServices::openUrl(QUrl(QtText(info.url), QUrl::TolerantMode));
  else
    msgbox::Show(this, QtText(shelltext::kNoUpdateUrl));
}
