#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QtHandOver;

// The download dialog: collects application numbers, typed or imported from a text
// file, starts a download run and shows its progress lines. It lives as long as the
// program; a run goes on when it is closed, and the run's question still comes.
class Tfrmdown : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmdown(QWidget* parent = nullptr);
  ~Tfrmdown() override;

  // Controls, named as their objectName.
  QFrame* Panel2 = nullptr;
  QPushButton* Button1 = nullptr;  // import
  QLineEdit* EdNum = nullptr;
  QPushButton* Button2 = nullptr;  // add
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QListWidget* ListNum = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* startbt = nullptr;
  // "OCR文字层": the run's PDFs get a text layer; the choice is kept in savefile.ini.
  QCheckBox* ckocr = nullptr;
  QPushButton* msgbt = nullptr;  // hidden; the worker clicks it at the end of a run
  // With OPS as the source: which publications of a record (授权/申请/全部), remembered.
  QLabel* lbdocument = nullptr;
  QComboBox* cbdocument = nullptr;
  QPlainTextEdit* mmo = nullptr;
  // With OPS as the source, below the rest: where a run stands (records, pages of the
  // record in hand) and the time left.
  QFrame* Panel3 = nullptr;
  QLabel *lbrecords = nullptr, *lbpages = nullptr, *lbtimeleft = nullptr;
  QProgressBar *pbrecords = nullptr, *pbpages = nullptr;
  QFileDialog* OpenDialog1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* N1 = nullptr;

  // Handlers, named after control and event.
  // Clears key when it is a Latin letter, which then never reaches the edit.
  void EdNumKeyPress(QChar& key);
  void EdNumChange();
  void Button2Click();
  void Button1Click();
  void PopupMenu1Popup();
  void N1Click();
  void startbtClick();
  void msgbtClick();
  void ckocrClick();
  void cbdocumentChange();
  // Shows what differs with the source runs take now (read again at every showing).
  void ShowSourceControls();

  // The entries of ListNum as they were added or read (GBK bytes, unchanged).
  std::vector<std::string> Entries() const;

  // Replaces showing OpenDialog1 (nullptr restores it): gets the prepared dialog and
  // returns the chosen file, or an empty text for a cancel.
  using OpenDialogHook = std::function<QString(QFileDialog&)>;
  static void SetOpenDialogForTesting(OpenDialogHook hook);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void AddEntry(const std::string& gbk);
  // A typed number of either kind OPS reads: false with the reason when it names none.
  bool AddOpsNumber(const std::string& gbk, std::string& error);

  bool ops_ = false;  // OPS runs: numbers of publications too, the document choice

  std::unique_ptr<QtHandOver> handOver_;
};
