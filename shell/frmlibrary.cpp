#include "shell/frmlibrary.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <algorithm>
#include <map>
#include <set>

#include "base/datadir.h"
#include "library/export.h"
#include "library/librarytexts.h"
#include "shell/librarytexts.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/widgets.h"

namespace {

using namespace frmlibrarytext;

// The marks find puts around the words: characters no record's text holds.
const char kMarkOpen[] = "\x02";
const char kMarkClose[] = "\x03";

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

QString Joined(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& i : items) list << Q(i);
  return list.join("; ");
}

const std::vector<std::string>& Applicants(const TPatentRecord& r) {
  return r.applicants.empty() ? r.applicantsLatin : r.applicants;
}

// Plain text as HTML, the words between find's marks highlighted.
QString Marked(const std::string& utf8) {
  QString html = Q(ValidUtf8(utf8)).toHtmlEscaped();
  html.replace(QChar(2), "<span style=\"background:#ffe08a;font-weight:bold\">");
  html.replace(QChar(3), "</span>");
  return html;
}

QComboBox* Filter(QWidget* parent, const char* name, QHBoxLayout* row, const char* gbkLabel, int width) {
  auto* label = new QLabel(QtText(gbkLabel), parent);
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  box->setMinimumWidth(width);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  label->setBuddy(box);
  row->addWidget(label);
  row->addWidget(box);
  row->addSpacing(8);
  return box;
}

}  // namespace

// ---- The model ----

void TLibraryModel::SetRows(std::vector<TLibraryRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int TLibraryModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }
int TLibraryModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TLibraryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const TLibraryRow& row = rows_[size_t(index.row())];
  const TPatentRecord& r = row.record;
  switch (Column(index.column())) {
    case Application: return Q(r.applicationOriginal.empty() ? r.application : r.applicationOriginal);
    case Title: return Q(r.title.empty() ? r.titleEn : r.title);
    case Applicants: return Joined(::Applicants(r));
    case ApplicationDate: return Q(r.applicationDate);
    case Publication: return Q(MainPublication(r));
    case Ipc: return Joined(r.ipc);
    case Legal: return Q(r.legalStatus);
    case Pdf: {
      QStringList names;
      for (const std::string& p : r.pdfs) names << Q(ValidUtf8(p.substr(p.rfind('/') + 1)));
      return names.join("; ");
    }
    case Where: {
      QStringList names;
      for (const TFindPlace& p : row.places) names << Q(FindPlaceName(p));
      return names.join(", ");
    }
    case ColumnCount: break;
  }
  return {};
}

QVariant TLibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  using namespace exporttext;
  switch (Column(section)) {
    case Application: return QtText(kApplication);
    case Title: return QtText(kTitle);
    case Applicants: return QtText(kApplicants);
    case ApplicationDate: return QtText(kApplicationDate);
    case Publication: return QtText(kPublication);
    case Ipc: return QtText(kIpc);
    case Legal: return QtText(kLegalStatus);
    case Pdf: return QtText(kPdf);
    case Where: return QtText(frmlibrarytext::kWhere);
    case ColumnCount: break;
  }
  return {};
}

// ---- The filters ----

void TLibraryFilter::SetFilters(int year, const QString& applicant, const QString& subclass, const QString& legal) {
  year_ = year;
  applicant_ = applicant;
  subclass_ = subclass;
  legal_ = legal;
  invalidateFilter();
}

bool TLibraryFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const TPatentRecord& r = static_cast<const TLibraryModel*>(sourceModel())->Row(sourceRow).record;
  if (year_ && ApplicationYear(r) != year_) return false;
  if (!legal_.isEmpty() && Q(LegalStateName(LegalStateOf(r.legalStatus))) != legal_) return false;
  if (!subclass_.isEmpty() &&
      std::none_of(r.ipc.begin(), r.ipc.end(), [&](const std::string& c) { return Q(IpcSubclass(c)) == subclass_; }))
    return false;
  // The applicant box may be typed into: any name holding the text.
  if (!applicant_.isEmpty()) {
    const std::vector<std::string>& names = Applicants(r);
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return Q(n).contains(applicant_, Qt::CaseInsensitive); }))
      return false;
  }
  return true;
}

// ---- The window ----

Tfrmlibrary::Tfrmlibrary(QWidget* parent) : QDialog(parent) {
  setObjectName("frmlibrary");
  setWindowTitle(QtText(kCaption));
  setWindowFlags(Qt::Window);
  setFont(FormFont());
  resize(960, 620);

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  edfind = new QLineEdit(this);
  edfind->setObjectName("edfind");
  edfind->setPlaceholderText(QtText(kFindHint));
  edfind->setClearButtonEnabled(true);
  btfind = new QPushButton(QtText(kFind), this);
  btfind->setObjectName("btfind");
  btfind->setDefault(true);
  btexport = new QPushButton(QtText(kExport), this);
  btexport->setObjectName("btexport");
  btexport->setAutoDefault(false);
  top->addWidget(edfind, 1);
  top->addWidget(btfind);
  top->addWidget(btexport);
  layout->addLayout(top);

  auto* filters = new QHBoxLayout;
  cbyear = Filter(this, "cbyear", filters, kYear, 80);
  cbapplicant = Filter(this, "cbapplicant", filters, kApplicant, 200);
  // Typed text filters too: a part of a name is enough.
  cbapplicant->setEditable(true);
  cbapplicant->setInsertPolicy(QComboBox::NoInsert);
  cbclass = Filter(this, "cbclass", filters, kClass, 80);
  cblegal = Filter(this, "cblegal", filters, kLegal, 80);
  filters->addStretch(1);
  lbcount = new QLabel(this);
  lbcount->setObjectName("lbcount");
  filters->addWidget(lbcount);
  layout->addLayout(filters);

  model_ = new TLibraryModel(this);
  filter_ = new TLibraryFilter(this);
  filter_->setSourceModel(model_);
  filter_->setSortCaseSensitivity(Qt::CaseInsensitive);
  filter_->setSortLocaleAware(true);

  splitter = new QSplitter(Qt::Vertical, this);
  splitter->setObjectName("splitter");
  grid = new QTableView(splitter);
  grid->setObjectName("grid");
  grid->setModel(filter_);
  grid->setSortingEnabled(true);
  // Until a column is chosen the rows stay in find's order, best first.
  grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setWordWrap(false);
  grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
  grid->verticalHeader()->hide();
  grid->setAlternatingRowColors(true);
  const int widths[TLibraryModel::ColumnCount] = {100, 210, 120, 150, 80, 110, 90, 120, 100};
  for (int c = 0; c < TLibraryModel::ColumnCount; ++c) grid->setColumnWidth(c, widths[c]);
  mmotext = new QTextBrowser(splitter);
  mmotext->setObjectName("mmotext");
  mmotext->setOpenLinks(false);
  splitter->addWidget(grid);
  splitter->addWidget(mmotext);
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  layout->addWidget(splitter, 1);

  connect(btfind, &QPushButton::clicked, this, &Tfrmlibrary::btfindClick);
  connect(edfind, &QLineEdit::returnPressed, this, &Tfrmlibrary::btfindClick);
  connect(btexport, &QPushButton::clicked, this, &Tfrmlibrary::btexportClick);
  for (QComboBox* box : {cbyear, cbclass, cblegal})
    connect(box, &QComboBox::currentIndexChanged, this, &Tfrmlibrary::ApplyFilters);
  connect(cbapplicant, &QComboBox::currentTextChanged, this, &Tfrmlibrary::ApplyFilters);
  connect(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { ShowText(current); });
  connect(grid, &QTableView::doubleClicked, this, &Tfrmlibrary::gridDoubleClick);
}

void Tfrmlibrary::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Runs may have added records since the window was last shown.
  btfindClick();
  edfind->setFocus();
}

void Tfrmlibrary::btfindClick() {
  std::vector<std::string> words;
  for (const QString& w : edfind->text().split(' ', Qt::SkipEmptyParts)) words.push_back(w.toStdString());
  Load(words);
}

void Tfrmlibrary::Load(const std::vector<std::string>& words) {
  std::vector<TLibraryRow> rows;
  limited_ = false;
  try {
    TLibrary library(datadir::Root());
    if (words.empty()) {
      for (TPatentRecord& r : library.Records()) rows.push_back({std::move(r), {}});
    } else {
      TFindOptions options;
      options.limit = kFindLimit;
      options.markOpen = kMarkOpen;
      options.markClose = kMarkClose;
      const std::vector<TFindHit> hits = library.Find(words, options);
      limited_ = hits.size() >= kFindLimit;
      std::vector<int64_t> ids;
      for (const TFindHit& h : hits) ids.push_back(h.recordId);
      std::vector<TPatentRecord> records = library.Records(ids);
      for (size_t i = 0; i < records.size() && i < hits.size(); ++i)
        rows.push_back({std::move(records[i]), hits[i].places});
    }
  } catch (const std::exception& e) {
    msgbox::Show(this, QtText(kCannotOpen) + QtText(e.what()));
  }
  grid->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  filter_->sort(-1);
  model_->SetRows(std::move(rows));
  // Where the words are: only after a find.
  grid->setColumnHidden(TLibraryModel::Where, words.empty());
  FillFilters();
  ApplyFilters();
  mmotext->clear();
}

void Tfrmlibrary::FillFilters() {
  std::set<int> years;
  std::map<std::string, int> applicants;
  std::set<std::string> classes;
  std::set<int> states;
  for (int i = 0; i < model_->rowCount(); ++i) {
    const TPatentRecord& r = model_->Row(i).record;
    if (const int y = ApplicationYear(r)) years.insert(y);
    for (const std::string& n : Applicants(r)) ++applicants[n];
    for (const std::string& c : r.ipc)
      if (!IpcSubclass(c).empty()) classes.insert(IpcSubclass(c));
    states.insert(int(LegalStateOf(r.legalStatus)));
  }
  // The most frequent applicants first.
  std::vector<std::pair<int, std::string>> byCount;
  for (const auto& [name, n] : applicants) byCount.push_back({-n, name});
  std::sort(byCount.begin(), byCount.end());

  auto refill = [](QComboBox* box, const QStringList& items) {
    const QString kept = box->currentIndex() > 0 ? box->currentText() : QString();
    QSignalBlocker block(box);
    box->clear();
    box->addItem(QtText(kAll));
    box->addItems(items);
    const int at = kept.isEmpty() ? 0 : box->findText(kept);
    box->setCurrentIndex(std::max(at, 0));
  };
  QStringList items;
  for (auto y = years.rbegin(); y != years.rend(); ++y) items << QString::number(*y);
  refill(cbyear, items);
  items.clear();
  for (const auto& [n, name] : byCount) items << Q(name);
  const QString typed = cbapplicant->currentIndex() == 0 ? QString() : cbapplicant->currentText();
  refill(cbapplicant, items);
  if (!typed.isEmpty() && cbapplicant->currentIndex() == 0) {
    QSignalBlocker block(cbapplicant);
    cbapplicant->setEditText(typed);
  }
  items.clear();
  for (const std::string& c : classes) items << Q(c);
  refill(cbclass, items);
  items.clear();
  for (int s : states) items << Q(LegalStateName(TLegalState(s)));
  refill(cblegal, items);
}

void Tfrmlibrary::ApplyFilters() {
  auto chosen = [](QComboBox* box) { return box->currentIndex() > 0 ? box->currentText() : QString(); };
  QString applicant = cbapplicant->currentText().trimmed();
  if (applicant == QtText(kAll)) applicant.clear();
  filter_->SetFilters(chosen(cbyear).toInt(), applicant, chosen(cbclass), chosen(cblegal));
  ShowCount();
}

void Tfrmlibrary::ShowCount() {
  const int shown = filter_->rowCount(), all = model_->rowCount();
  QString text = shown == all ? QtText(kCountHead) + QString::number(all) + QtText(kCountTail)
                              : QtText(kCountShownA) + QString::number(shown) + QtText(kCountShownB) +
                                    QString::number(all) + QtText(kCountTail);
  if (limited_) text += QtText(kLimited) + QString::number(kFindLimit) + QtText(kLimitedTail);
  lbcount->setText(text);
}

void Tfrmlibrary::ShowText(const QModelIndex& current) {
  if (!current.isValid()) {
    mmotext->clear();
    return;
  }
  const TLibraryRow& row = model_->Row(filter_->mapToSource(current).row());
  const TPatentRecord& r = row.record;
  QString html = "<p><b>" + Q(r.title.empty() ? r.titleEn : r.title).toHtmlEscaped() + "</b></p>";
  for (const TFindPlace& p : row.places)
    html += "<p><span style=\"color:#2f5d8a\">" + Q(FindPlaceName(p)).toHtmlEscaped() + "</span>&nbsp; " + Marked(p.snippet) +
            "</p>";
  if (row.places.empty()) {
    using namespace exporttext;
    if (!Applicants(r).empty()) html += "<p>" + QtText(kApplicants) + ": " + Joined(Applicants(r)).toHtmlEscaped() + "</p>";
    const std::string& abstract = r.abstractText.empty() ? r.abstractEn : r.abstractText;
    if (!abstract.empty()) html += "<p>" + QtText(kAbstract) + ": " + Q(ValidUtf8(abstract)).toHtmlEscaped() + "</p>";
  }
  mmotext->setHtml(html);
}

void Tfrmlibrary::PdfOfRow(int row, QString& file, int& page) const {
  const TLibraryRow& r = model_->Row(filter_->mapToSource(filter_->index(row, 0)).row());
  std::string document;
  page = 1;
  for (const TFindPlace& p : r.places)
    if (p.field == "page") {
      document = p.document;
      page = p.page;
      break;
    }
  if (document.empty() && !r.record.pdfs.empty()) document = r.record.pdfs.front();
  file = document.empty() ? QString() : QtPath(TPath::FromSystem(datadir::Root().Bytes() + "/" + document));
}

void Tfrmlibrary::gridDoubleClick(const QModelIndex& index) {
  if (!index.isValid()) return;
  QString file;
  int page = 1;
  PdfOfRow(index.row(), file, page);
  if (file.isEmpty()) {
    msgbox::Show(this, QtText(kNoPdf) + model_->data(model_->index(filter_->mapToSource(index).row(), 1), Qt::DisplayRole).toString());
    return;
  }
  emit OpenPdf(file, page);
}

void Tfrmlibrary::btexportClick() {
  if (filter_->rowCount() == 0) {
    msgbox::Show(this, QtText(kNothingToExport));
    return;
  }
  const QString file = ChooseExportFile(this, QtText(kCaption));
  if (!file.isEmpty()) ExportTo(file);
}

void Tfrmlibrary::ExportTo(const QString& file) {
  std::vector<TPatentRecord> records;
  for (int i = 0; i < filter_->rowCount(); ++i)
    records.push_back(model_->Row(filter_->mapToSource(filter_->index(i, 0)).row()).record);
  ExportShown(this, records, file);
}

QString ChooseExportFile(QWidget* parent, const QString& name) {
  QFileDialog dialog(parent, QtText(kExport).remove(QString::fromUtf8("…")));
  dialog.setObjectName("exportdialog");
  MakeProgramFileDialog(&dialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(QtText(kExportFilter).split(";;"));
  dialog.setDefaultSuffix("xlsx");
  // A name typed without a suffix takes the chosen format's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
    dialog.setDefaultSuffix(f.section("*.", 1).section(')', 0, 0));
  });
  dialog.setDirectory(QtPath(datadir::FolderPath(datadir::Root(), datadir::Folder::Data)));
  dialog.selectFile(name + ".xlsx");
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void ExportShown(QWidget* parent, const std::vector<TPatentRecord>& records, const QString& file) {
  try {
    ExportRecords(records, PathFromQt(file), datadir::Root());
    msgbox::Show(parent, QtText(kExported) + QString::number(records.size()) + "\n" + file);
  } catch (const std::exception& e) {
    msgbox::Show(parent, QtText(e.what()));
  }
}
