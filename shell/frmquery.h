#pragma once
#include <QDialog>
#include <memory>
#include <string>

#include "sources/source.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QtHandOver;

// The search dialog: title words, abstract words and a classification code in, one
// search run at a time, its progress in the memo, and at the end the offer to show the
// report in the main window's browser. Created once at start; it must outlive every run
// it starts, since the run reaches its memo and buttons until its very end.
class Tfrmquery : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmquery(QWidget* parent = nullptr);
  ~Tfrmquery() override;

  // Controls, named as their objectName.
  QPlainTextEdit* mmo = nullptr;
  QFrame* Panel1 = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
  QLineEdit *edtitle = nullptr, *edabs = nullptr, *edg = nullptr;
  QCheckBox *cklaw = nullptr, *ckzq = nullptr, *ckabs = nullptr, *ckowner = nullptr;
  QFrame* Bevel2 = nullptr;
  QPushButton* btstart = nullptr;
  QPushButton* btwatch = nullptr;  // 保存为监视…: the fields as a watch (OPS)
  QPushButton* msgbt = nullptr;  // hidden; clicked by the run when it ends
  // With OPS as the source: what the first-claim box gives, and how many records a run reads.
  QLabel* lbzq = nullptr;
  QLabel *Label4 = nullptr, *Label5 = nullptr;
  QSpinBox* spmax = nullptr;
  // With OPS as the source, below the rest: more fields and boxes, and where a run stands.
  QFrame* Panel3 = nullptr;
  QLineEdit *edapplicant = nullptr, *edinventor = nullptr, *edtext = nullptr, *edcpc = nullptr,
            *ednumber = nullptr, *edfrom = nullptr, *edto = nullptr;
  QCheckBox *ckfamily = nullptr, *ckcollapse = nullptr, *cknotranslate = nullptr;
  QProgressBar* pbrecords = nullptr;
  QLabel* lbtimeleft = nullptr;

  // Handlers, named after control and event.
  void FormShow();
  void btstartClick();
  void msgbtClick();
  void btwatchClick();
  // Shows what differs with the source runs take now (read again at every showing).
  void ShowSourceControls();

  // The expression of the run last started (GBK); the report file is named after it.
  const std::string& Expression() const { return expression_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildOpsControls();
  // The search the fields ask for the source.
  TSearchAsk FieldsAsk(TSourceKind source) const;

  std::string expression_;
  std::unique_ptr<QtHandOver> handOver_;
};
