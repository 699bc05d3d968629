#include "shell/frmdown.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "base/datadir.h"
#include "base/errors.h"
#include "base/ini.h"
#include "download/downreport.h"
#include "download/getdown.h"
#include "download/numberlist.h"
#include "shell/application.h"
#include "shell/documentsetting.h"
#include "shell/forms.h"
#include "shell/msgbox.h"
#include "shell/qthandover.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"
#include "shell/widgets.h"

namespace {

using namespace frmdowntext;

// Where the dialog keeps its choice, beside the data directory's.
const char kSettingsSection[] = "download";
const char kOcrKey[] = "ocr";

constexpr int kClientWidth = 584;
constexpr int kClientHeight = 352;
constexpr int kTopPanelHeight = 41;
constexpr int kRightPanelWidth = 313;
constexpr int kMemoHeight = 279;
// The strip of an OPS run's bars below the site's dialog, which stays as it was.
constexpr int kOpsHeight = 48;
constexpr int kMaxNumberLength = 12;
// Publication numbers with their prefix and kind, and blanks: "CN 101911042 B".
constexpr int kMaxOpsNumberLength = 20;

// Each entry keeps its GBK bytes: imported lines go to the worker unchanged, whatever
// they hold, and their shown text need not convert back to the same bytes.
constexpr int kEntryBytesRole = Qt::UserRole;

Tfrmdown::OpenDialogHook& OpenDialogHookRef() {
  static Tfrmdown::OpenDialogHook hook;
  return hook;
}

// No button of the dialog is a default button: Enter in the number edit clicks nothing.
QPushButton* Button(QWidget* parent, const char* name, const QRect& geometry, const char* gbkCaption) {
  QPushButton* b = PushButton(parent, name, geometry, QtText(gbkCaption));
  b->setAutoDefault(false);
  return b;
}

bool IsLatinLetter(QChar c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

Tfrmdown::Tfrmdown(QWidget* parent) : QDialog(parent) {
  setObjectName("frmdown");
  setWindowTitle(QtText(kCaption));
  MakeFixedDialog(this, kClientWidth, kClientHeight);

  Panel2 = Panel(this, "Panel2", QRect(0, 0, kClientWidth, kTopPanelHeight));
  Button1 = Button(Panel2, "Button1", {8, 8, 41, 25}, kImport);
  EdNum = PlaceControl<QLineEdit>(Panel2, "EdNum", {56, 8, 161, 21});
  EdNum->installEventFilter(this);
  Button2 = Button(Panel2, "Button2", {216, 8, 49, 25}, kAdd);
  Label2 = TextLabel(Panel2, "Label2", 280, 8, QtText(kNote1));
  Label3 = TextLabel(Panel2, "Label3", 320, 24, QtText(kNote2));

  const int below = kClientHeight - kTopPanelHeight;
  ListNum = PlaceControl<QListWidget>(this, "ListNum",
                                      QRect(0, kTopPanelHeight, kClientWidth - kRightPanelWidth, below));
  ListNum->setSelectionMode(QAbstractItemView::SingleSelection);
  ListNum->setContextMenuPolicy(Qt::CustomContextMenu);

  Panel1 = Panel(this, "Panel1", QRect(kClientWidth - kRightPanelWidth, kTopPanelHeight, kRightPanelWidth, below));
  startbt = Button(Panel1, "startbt", {8, 0, 75, 25}, kStart);
  ckocr = PlaceControl<QCheckBox>(Panel1, "ckocr", {96, 4, 110, 17});
  ckocr->setText(QtText(kOcr));
  ckocr->setChecked(IniReadString(datadir::SettingsFile(), kSettingsSection, kOcrKey, "0") == "1");
  msgbt = Button(Panel1, "msgbt", {224, 0, 75, 25}, kReturn);
  msgbt->setVisible(false);
  // Where the hidden result button lies, beside the start button's row.
  lbdocument = TextLabel(Panel1, "lbdocument", 214, 6, QtText(kDocument));
  cbdocument = PlaceControl<QComboBox>(Panel1, "cbdocument", {246, 2, 60, 21});
  const std::pair<const char*, TDocumentChoice> documents[] = {{kDocumentGrant, TDocumentChoice::Grant},
                                                               {kDocumentApplication, TDocumentChoice::Application},
                                                               {kDocumentBoth, TDocumentChoice::Both}};
  for (auto [caption, choice] : documents) cbdocument->addItem(QtText(caption), int(choice));
  cbdocument->setCurrentIndex(cbdocument->findData(int(SavedDocumentChoice())));
  cbdocument->setToolTip(QtText(kDocumentHint));
  // Progress only: typing into it would mix with the worker's lines.
  mmo = ReadOnlyMemo(Panel1, "mmo", QRect(0, below - kMemoHeight, kRightPanelWidth, kMemoHeight));

  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setObjectName("OpenDialog1");
  MakeProgramFileDialog(OpenDialog1);
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);
  OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);

  PopupMenu1 = new QMenu(ListNum);
  PopupMenu1->setObjectName("PopupMenu1");
  N1 = MenuItem(PopupMenu1, "N1", QtText(kDelete), this, &Tfrmdown::N1Click);

  Panel3 = Panel(this, "Panel3", QRect(0, kClientHeight, kClientWidth, kOpsHeight));
  lbrecords = TextLabel(Panel3, "lbrecords", 8, 6, QtText(kBarRecords));
  pbrecords = PlaceControl<QProgressBar>(Panel3, "pbrecords", {48, 4, 217, 17});
  lbpages = TextLabel(Panel3, "lbpages", 8, 28, QtText(kBarPages));
  pbpages = PlaceControl<QProgressBar>(Panel3, "pbpages", {48, 26, 217, 17});
  for (QProgressBar* bar : {pbrecords, pbpages}) bar->setValue(0);
  lbtimeleft = PlaceControl<QLabel>(Panel3, "lbtimeleft", {kClientWidth - kRightPanelWidth, 6, kRightPanelWidth - 8, 17});

  handOver_ = std::make_unique<QtHandOver>(mmo, startbt, msgbt);
  handOver_->SetStandingView(pbrecords, pbpages, lbtimeleft);

  connect(EdNum, &QLineEdit::textChanged, this, &Tfrmdown::EdNumChange);
  connect(Button2, &QPushButton::clicked, this, &Tfrmdown::Button2Click);
  connect(Button1, &QPushButton::clicked, this, &Tfrmdown::Button1Click);
  connect(ListNum, &QListWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    PopupMenu1Popup();
    PopupMenu1->popup(ListNum->viewport()->mapToGlobal(pos));
  });
  connect(startbt, &QPushButton::clicked, this, &Tfrmdown::startbtClick);
  connect(msgbt, &QPushButton::clicked, this, &Tfrmdown::msgbtClick);
  connect(ckocr, &QCheckBox::clicked, this, &Tfrmdown::ckocrClick);
  connect(cbdocument, &QComboBox::currentIndexChanged, this, &Tfrmdown::cbdocumentChange);
  ShowSourceControls();
}

// Out of line: the hand-over's type is complete only here.
Tfrmdown::~Tfrmdown() = default;

void Tfrmdown::SetOpenDialogForTesting(OpenDialogHook hook) { OpenDialogHookRef() = std::move(hook); }

bool Tfrmdown::eventFilter(QObject* watched, QEvent* event) {
  if (watched == EdNum && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Shortcuts (Ctrl+V, Ctrl+A, ...) are no typed characters.
    const bool shortcut = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!shortcut && key->text().size() == 1) {
      QChar c = key->text().at(0);
      EdNumKeyPress(c);
      if (c.isNull()) return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void Tfrmdown::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  ShowSourceControls();
}

void Tfrmdown::ShowSourceControls() {
  ops_ = ChooseSource() == TSourceKind::Ops;
  lbdocument->setVisible(ops_);
  cbdocument->setVisible(ops_);
  Panel3->setVisible(ops_);
  setFixedSize(kClientWidth, ops_ ? kClientHeight + kOpsHeight : kClientHeight);
  Label2->setText(QtText(ops_ ? kOpsNote1 : kNote1));
  Label3->setText(QtText(ops_ ? kOpsNote2 : kNote2));
  Label2->adjustSize();
  Label3->adjustSize();
  // A publication number typed for OPS is no number the site's edit takes.
  if (!ops_ && !EdNum->text().isEmpty() && !ReadsAsNumber(GbkText(EdNum->text()))) EdNum->clear();
  if (EdNum->text().size() > kMaxNumberLength && !ops_) EdNum->setText(EdNum->text().left(kMaxNumberLength));
}

void Tfrmdown::cbdocumentChange() {
  try {
    SaveDocumentChoice(TDocumentChoice(cbdocument->currentData().toInt()));
  } catch (const EFileError&) {
    // A settings file that cannot be written keeps the choice for this session only.
  }
}

void Tfrmdown::EdNumKeyPress(QChar& key) {
  // OPS also reads publication numbers, which carry letters (CN101911042B).
  if (!ops_ && IsLatinLetter(key)) key = QChar();
}

void Tfrmdown::EdNumChange() {
  QString text = EdNum->text();
  const int maxLength = ops_ ? kMaxOpsNumberLength : kMaxNumberLength;
  if (text.size() > maxLength) {
    // The cut runs this handler again, which checks the shortened text.
    EdNum->setText(text.left(maxLength));
    return;
  }
  // A publication number reads as one only when whole: OPS numbers are checked when added.
  if (!ops_ && !text.isEmpty() && !ReadsAsNumber(GbkText(text))) {
    msgbox::Show(this, QtText(kNotANumber));
    EdNum->clear();
  }
}

std::vector<std::string> Tfrmdown::Entries() const {
  std::vector<std::string> entries;
  entries.reserve(ListNum->count());
  for (int i = 0; i < ListNum->count(); ++i)
    entries.push_back(ListNum->item(i)->data(kEntryBytesRole).toByteArray().toStdString());
  return entries;
}

void Tfrmdown::AddEntry(const std::string& gbk) {
  auto* item = new QListWidgetItem(QtText(gbk));
  item->setData(kEntryBytesRole, QByteArray::fromStdString(gbk));
  ListNum->addItem(item);
}

bool Tfrmdown::AddOpsNumber(const std::string& gbk, std::string& error) {
  if (ReadListEntry(TSourceKind::Ops, gbk, error) == TListEntry::Unfetchable) return false;
  std::vector<std::string> entries = Entries();
  if (std::find(entries.begin(), entries.end(), gbk) == entries.end()) AddEntry(gbk);
  return true;
}

void Tfrmdown::Button2Click() {
  if (ops_) {
    const std::string text = GbkText(EdNum->text().trimmed());
    std::string error;
    if (!text.empty() && !AddOpsNumber(text, error)) msgbox::Show(this, QtText(error));
    return;
  }
  std::vector<std::string> entries = Entries();
  const size_t before = entries.size();
  std::string text = GbkText(EdNum->text());
  std::string error;
  bool fits = AddTypedNumber(entries, text, error);
  EdNum->setText(QtText(text));
  if (!fits) {
    msgbox::Show(this, QtText(error));
    return;
  }
  if (entries.size() > before) AddEntry(entries.back());
}

void Tfrmdown::Button1Click() {
  OpenDialog1->setDefaultSuffix("TXT");
  OpenDialog1->setNameFilter(QtText(kTextFiles));
  QString chosen;
  if (OpenDialogHookRef()) {
    chosen = OpenDialogHookRef()(*OpenDialog1);
  } else if (OpenDialog1->exec() == QDialog::Accepted && !OpenDialog1->selectedFiles().isEmpty()) {
    chosen = OpenDialog1->selectedFiles().first();
  }
  if (chosen.isEmpty()) return;
  std::vector<std::string> lines;
  try {
    lines = ImportNumberFile(PathFromQt(chosen));
  } catch (const std::exception& e) {
    // The file could not be read: the general error display, and the list stays.
    ShowUncaughtError(e.what());
    return;
  }
  ListNum->clear();
  for (const std::string& line : lines) AddEntry(line);
}

void Tfrmdown::PopupMenu1Popup() { N1->setEnabled(!ListNum->selectedItems().isEmpty()); }

void Tfrmdown::N1Click() {
  QList<QListWidgetItem*> selected = ListNum->selectedItems();
  if (selected.isEmpty()) return;
  delete selected.first();
  // Nothing is selected afterwards: the next deletion needs a choice of its own.
  ListNum->setCurrentRow(-1);
  ListNum->clearSelection();
}

void Tfrmdown::startbtClick() {
  if (ListNum->count() == 0) {
    msgbox::Show(this, QtText(shelltext::kEmptyNumberList));
    return;
  }
  startbt->setEnabled(false);
  mmo->appendPlainText(QtText(shelltext::kRunStartLine));
  // The worker owns itself; the hand-over lives with the dialog, as long as the program.
  TBatchOptions options;
  options.source = ChooseSource();
  options.ocr = ckocr->isChecked();
  options.document = TDocumentChoice(cbdocument->currentData().toInt());
  auto result = std::make_shared<TDownloadResult>();
  // OPS ends a run early with a reason the progress lines may not hold (a used-up quota).
  std::function<std::string()> reason;
  if (options.source == TSourceKind::Ops) reason = [result] { return result->error; };
  handOver_->AddEndReason(reason);
  handOver_->RunStarting(frmquerytext::kActivityDownload);
  new getdown(handOver_.get(), Entries(), options, result);
}

void Tfrmdown::ckocrClick() {
  try {
    IniWriteString(datadir::SettingsFile(), kSettingsSection, kOcrKey, ckocr->isChecked() ? "1" : "0");
  } catch (const EFileError&) {
    // A settings file that cannot be written keeps the choice for this session only.
  }
}

void Tfrmdown::msgbtClick() { AskToShowReport(this, DownloadReportPath(datadir::Root())); }
