#include "shell/frmwatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include "base/appdir.h"
#include "base/datadir.h"
#include "base/files.h"
#include "library/watches.h"
#include "library/watchrun.h"
#include "library/watchschedule.h"
#include "library/watchtexts.h"
#include "search/searchargs.h"
#include "shell/forms.h"
#include "shell/mainwindow.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"
#include "shell/widgets.h"

namespace {

using namespace frmwatchtext;

// The schedule of each entry of cbschedule, in its order.
const TWatchSchedule kSchedules[] = {TWatchSchedule::Off, TWatchSchedule::Daily, TWatchSchedule::Weekly};

TPath Cli() { return ProgramDirectory().Entry("varnolt-cli"); }

// Where the schedule stands now, or why it is not as asked, with the crontab line instead.
QString ScheduleNote(const TScheduleOutcome& outcome, TWatchSchedule schedule) {
  QString note = QtText(outcome.reason);
  if (schedule != TWatchSchedule::Off)
    note += "\n\n" + QtText(watchtext::kScheduleKept) + "\n" +
            QString::fromStdString(WatchCrontabLine(schedule, Cli()));
  return note;
}

}  // namespace

Tfrmwatch::Tfrmwatch(QWidget* parent) : QDialog(parent) {
  setObjectName("frmwatch");
  setWindowTitle(QtText(kCaption));
  MakeFixedDialog(this, 640, 420);

  lvwatch = PlaceControl<QTableWidget>(this, "lvwatch", {8, 8, 624, 200});
  lvwatch->setColumnCount(5);
  lvwatch->setHorizontalHeaderLabels({QtText(kColumnName), QtText(kColumnSearch), QtText(kColumnLastRun),
                                      QtText(kColumnUnread), QtText(kColumnKnown)});
  lvwatch->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvwatch->setSelectionMode(QAbstractItemView::SingleSelection);
  lvwatch->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lvwatch->verticalHeader()->setVisible(false);
  lvwatch->horizontalHeader()->setStretchLastSection(true);

  btrun = PushButton(this, "btrun", {8, 216, 89, 25}, QtText(kRun));
  btreport = PushButton(this, "btreport", {104, 216, 89, 25}, QtText(kReport));
  btdelete = PushButton(this, "btdelete", {200, 216, 73, 25}, QtText(kDelete));
  cbschedule = PlaceControl<QComboBox>(this, "cbschedule", {552, 218, 80, 21});
  for (const char* text : {kScheduleOff, kScheduleDaily, kScheduleWeekly}) cbschedule->addItem(QtText(text));
  lbschedule = TextLabel(this, "lbschedule", 0, 221, QtText(kScheduleLabel));
  lbschedule->move(548 - lbschedule->width(), 221);
  mmo = ReadOnlyMemo(this, "mmo", {8, 250, 624, 162});

  connect(btrun, &QPushButton::clicked, this, &Tfrmwatch::btrunClick);
  connect(btreport, &QPushButton::clicked, this, &Tfrmwatch::btreportClick);
  connect(btdelete, &QPushButton::clicked, this, &Tfrmwatch::btdeleteClick);
  // The user's choice only: Refresh sets the box without setting the schedule again.
  connect(cbschedule, &QComboBox::activated, this, &Tfrmwatch::cbscheduleChange);
  connect(lvwatch, &QTableWidget::cellDoubleClicked, this, [this] { btreportClick(); });
}

Tfrmwatch::~Tfrmwatch() {
  if (run_.joinable()) run_.join();
}

void Tfrmwatch::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void Tfrmwatch::FormShow() { Refresh(); }

void Tfrmwatch::Refresh() {
  const std::string selected =
      lvwatch->currentRow() >= 0 && lvwatch->item(lvwatch->currentRow(), 0) ? lvwatch->item(lvwatch->currentRow(), 0)->text().toStdString() : "";
  std::vector<TWatch> watches;
  try {
    TLibrary library(datadir::Root());
    watches = TWatchStore(library).List();
  } catch (const std::exception& e) {
    mmo->appendPlainText(QtText(kLibraryFailed + std::string(e.what())));
  }
  lvwatch->setRowCount(int(watches.size()));
  for (int i = 0; i < int(watches.size()); ++i) {
    const TWatch& w = watches[size_t(i)];
    const QString cells[] = {QString::fromStdString(w.name), QString::fromStdString(ShellWords(WatchArguments(w))),
                             QtText(WatchLastRunText(w)), QString::number(w.unread), QString::number(w.known)};
    for (int c = 0; c < 5; ++c) lvwatch->setItem(i, c, new QTableWidgetItem(cells[c]));
    if (w.name == selected) lvwatch->selectRow(i);
  }
  if (lvwatch->currentRow() < 0 && !watches.empty()) lvwatch->selectRow(0);
  lvwatch->resizeColumnsToContents();
  const TWatchSchedule schedule = ReadWatchSchedule();
  for (int i = 0; i < 3; ++i)
    if (kSchedules[i] == schedule) cbschedule->setCurrentIndex(i);
  for (QPushButton* b : {btrun, btreport, btdelete}) b->setEnabled(!running_ && !watches.empty());
}

std::string Tfrmwatch::Selected() {
  const int row = lvwatch->currentRow();
  if (row < 0 || !lvwatch->item(row, 0)) {
    msgbox::Show(this, QtText(kNoneSelected));
    return "";
  }
  return lvwatch->item(row, 0)->text().toStdString();
}

void Tfrmwatch::btrunClick() {
  const std::string name = Selected();
  if (name.empty() || running_) return;
  if (const std::string reason = NotReadyReason(TSourceKind::Ops); !reason.empty()) {
    msgbox::Show(this, QtText(reason));
    return;
  }
  std::optional<TWatch> watch;
  try {
    TLibrary library(datadir::Root());
    watch = TWatchStore(library).Find(name);
  } catch (const std::exception& e) {
    mmo->appendPlainText(QtText(kLibraryFailed + std::string(e.what())));
  }
  if (!watch) return;
  if (run_.joinable()) run_.join();
  running_ = true;
  for (QPushButton* b : {btrun, btreport, btdelete}) b->setEnabled(false);
  mmo->clear();
  mmo->appendPlainText(QtText(kRunStart));
  run_ = std::thread([this, w = *watch] {
    auto show = [this](const QString& line) {
      QMetaObject::invokeMethod(this, [this, line] { mmo->appendPlainText(line); }, Qt::QueuedConnection);
    };
    QString summary;
    try {
      TWatchRunResult result = RunWatch(w, [&](const std::string& line) { show(QtText(line)); });
      summary = QtText(watchtext::kSummaryHead + Utf8ToGbk(w.name) + watchtext::kSummaryNew +
                       std::to_string(result.Fresh()) + watchtext::kSummaryChanged + std::to_string(result.Changed()) +
                       watchtext::kCountTail);
      if (!result.error.empty()) summary += "\n" + QtText(result.error);
      if (!result.report.Empty()) summary += "\n" + QString::fromStdString(result.report.Shown());
    } catch (const std::exception& e) {
      summary = QtText(kLibraryFailed + std::string(e.what()));
    }
    QMetaObject::invokeMethod(this, [this, summary] { RunEnded(summary); }, Qt::QueuedConnection);
  });
}

void Tfrmwatch::RunEnded(const QString& summary) {
  running_ = false;
  mmo->appendPlainText(summary);
  Refresh();
}

void Tfrmwatch::btreportClick() {
  const std::string name = Selected();
  if (name.empty()) return;
  try {
    TLibrary library(datadir::Root());
    TWatchStore store(library);
    std::optional<TWatch> w = store.Find(name);
    // The latest run that wrote a report.
    TPath report;
    if (w)
      for (const TWatchRunSummary& r : store.Runs(w->id))
        if (!r.report.empty()) {
          report = TPath::FromSystem(datadir::Root().Bytes() + "/" + r.report);
          break;
        }
    if (report.Empty() || !FileExists(report)) {
      msgbox::Show(this, QtText(kNoReport));
      return;
    }
    store.MarkRead(w->id);
    if (frmmain) {
      frmmain->webb->Navigate(QtPath(report));
      frmmain->setWindowState((frmmain->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    }
  } catch (const std::exception& e) {
    mmo->appendPlainText(QtText(kLibraryFailed + std::string(e.what())));
    return;
  }
  close();
}

void Tfrmwatch::btdeleteClick() {
  const std::string name = Selected();
  if (name.empty()) return;
  if (!msgbox::Ask(this, QtText(kDeleteQuestion).arg(QString::fromStdString(name)), QtText(shelltext::kConfirmCaption)))
    return;
  try {
    TLibrary library(datadir::Root());
    TWatchStore(library).Remove(name);
  } catch (const std::exception& e) {
    mmo->appendPlainText(QtText(kLibraryFailed + std::string(e.what())));
  }
  Refresh();
}

void Tfrmwatch::cbscheduleChange(int index) {
  if (index < 0 || index >= 3) return;
  const TWatchSchedule schedule = kSchedules[index];
  try {
    const TScheduleOutcome outcome = SetWatchSchedule(schedule, Cli());
    if (!outcome.applied) msgbox::Show(this, ScheduleNote(outcome, schedule));
  } catch (const std::exception& e) {
    msgbox::Show(this, QtText(e.what()));
  }
  Refresh();
}

// ---- 保存为监视 ----

namespace {

class Tfrmsavewatch : public QDialog {
 public:
  explicit Tfrmsavewatch(QWidget* parent) : QDialog(parent) {
    setObjectName("frmsavewatch");
    setWindowTitle(QtText(kSaveCaption));
    MakeFixedDialog(this, 320, 170);
    edname = PlaceControl<QLineEdit>(this, "edname", {64, 12, 244, 21});
    FieldLabel(this, "lbname", 12, edname, QtText(kSaveName));
    ckdownload = PlaceControl<QCheckBox>(this, "ckdownload", {64, 44, 120, 17});
    ckdownload->setText(QtText(kSaveDownload));
    cbdocument = PlaceControl<QComboBox>(this, "cbdocument", {188, 42, 80, 21});
    for (const char* text : {frmdowntext::kDocumentGrant, frmdowntext::kDocumentApplication, frmdowntext::kDocumentBoth})
      cbdocument->addItem(QtText(text));
    ckocr = PlaceControl<QCheckBox>(this, "ckocr", {64, 70, 200, 17});
    ckocr->setText(QtText(kSaveOcr));
    cklegal = PlaceControl<QCheckBox>(this, "cklegal", {64, 96, 240, 17});
    cklegal->setText(QtText(kSaveLegal));
    btok = PushButton(this, "btok", {144, 134, 80, 25}, QtText(kSaveOk));
    btcancel = PushButton(this, "btcancel", {228, 134, 80, 25}, QtText(kSaveCancel));
    btok->setDefault(true);
    connect(btok, &QPushButton::clicked, this, &QDialog::accept);
    connect(btcancel, &QPushButton::clicked, this, &QDialog::reject);
    auto sync = [this] {
      cbdocument->setEnabled(ckdownload->isChecked());
      ckocr->setEnabled(ckdownload->isChecked());
    };
    connect(ckdownload, &QCheckBox::toggled, this, sync);
    sync();
  }

  QLineEdit* edname;
  QCheckBox *ckdownload, *ckocr, *cklegal;
  QComboBox* cbdocument;
  QPushButton *btok, *btcancel;
};

}  // namespace

bool SaveSearchAsWatch(QWidget* parent, const TSearchOptions& options) {
  if (SearchExpression(TSourceKind::Ops, options.ask).empty()) {
    msgbox::Show(parent, QtText(shelltext::kNoCondition));
    return false;
  }
  Tfrmsavewatch dialog(parent);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted) return false;
    TWatch watch;
    watch.name = dialog.edname->text().trimmed().toStdString();
    if (const std::string problem = WatchNameProblem(watch.name); !problem.empty()) {
      msgbox::Show(&dialog, QtText(problem));
      continue;
    }
    TSearchOptions search = options;
    search.source.reset();  // a watch searches OPS whatever the desktop's choice later
    watch.search = SearchArguments(search);
    watch.download = dialog.ckdownload->isChecked();
    static const char* const kDocuments[] = {"grant", "application", "both"};
    watch.document = kDocuments[std::max(0, dialog.cbdocument->currentIndex())];
    watch.ocr = watch.download && dialog.ckocr->isChecked();
    watch.legal = dialog.cklegal->isChecked();
    try {
      TLibrary library(datadir::Root());
      if (!TWatchStore(library).Add(watch)) {
        msgbox::Show(&dialog, QtText(watchtext::kNameTaken + Utf8ToGbk(watch.name)));
        continue;
      }
    } catch (const std::exception& e) {
      msgbox::Show(&dialog, QtText(kLibraryFailed + std::string(e.what())));
      return false;
    }
    msgbox::Show(parent, QtText(kSaved + Utf8ToGbk(watch.name)));
    return true;
  }
}
