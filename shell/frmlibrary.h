#pragma once
// The 资料库 window: the records of the data root's patent library, found by any words,
// in a table sortable by every column and filtered by year, applicant, class and legal
// state, the text where the words are shown with them marked, a double click opening the
// PDF at the page that holds them, and an export of the rows shown.
//
// Its table is a model over TLibrary::Records and TLibrary::Find (not Qt's SQL module):
// the library's SQL stays in library/, and find's ranking and its path for one- and
// two-character words serve the window as they serve varnolt-cli.
#include <QAbstractTableModel>
#include <QDialog>
#include <QSortFilterProxyModel>
#include <vector>

#include "library/library.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTextBrowser;

// One row: a record and, after a find, where the words are in it.
struct TLibraryRow {
  TPatentRecord record;
  std::vector<TFindPlace> places;
};

class TLibraryModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { Application, Title, Where, Applicants, ApplicationDate, Publication, Ipc, Legal, Pdf, ColumnCount };
  using QAbstractTableModel::QAbstractTableModel;
  void SetRows(std::vector<TLibraryRow> rows);
  const TLibraryRow& Row(int row) const { return rows_[size_t(row)]; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<TLibraryRow> rows_;
};

// The filters over the model's rows: "" (or 0) lets every row through.
class TLibraryFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  using QSortFilterProxyModel::QSortFilterProxyModel;
  void SetFilters(int year, const QString& applicant, const QString& subclass, const QString& legalState);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int year_ = 0;
  QString applicant_, subclass_, legal_;
};

class Tfrmlibrary : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmlibrary(QWidget* parent = nullptr);

  // Finds at most this many records for words (best first); every record without words.
  static constexpr size_t kFindLimit = 1000;

  QLineEdit* edfind = nullptr;
  QPushButton* btfind = nullptr;
  QPushButton* btexport = nullptr;
  QComboBox* cbyear = nullptr;
  QComboBox* cbapplicant = nullptr;
  QComboBox* cbclass = nullptr;
  QComboBox* cblegal = nullptr;
  QLabel* lbcount = nullptr;
  QSplitter* splitter = nullptr;
  QTableView* grid = nullptr;
  QTextBrowser* mmotext = nullptr;

  void btfindClick();
  void btexportClick();
  // Writes the rows shown, in their order, to file (the format from its suffix).
  void ExportTo(const QString& file);
  // The PDF and page a double click on the row opens; file "" when it has no PDF.
  void PdfOfRow(int row, QString& file, int& page) const;

 signals:
  // The PDF at the page, to be shown in the main window's browser.
  void OpenPdf(const QString& file, int page);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Load(const std::vector<std::string>& words);
  void FillFilters();
  void ApplyFilters();
  void ShowCount();
  void ShowText(const QModelIndex& current);
  void gridDoubleClick(const QModelIndex& index);

  TLibraryModel* model_ = nullptr;
  TLibraryFilter* filter_ = nullptr;
  bool limited_ = false;
};

// The file an export goes to, asked with the program's file dialog (the format from the
// filter chosen, .xlsx unless told); "" when cancelled. name: the suggested file's stem.
QString ChooseExportFile(QWidget* parent, const QString& name);
// Writes the records to file and says so, or why not, in a message box.
void ExportShown(QWidget* parent, const std::vector<TPatentRecord>& records, const QString& file);
