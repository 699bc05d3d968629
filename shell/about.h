#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QTextEdit;
class QPushButton;
class TClickLabel;

// The about dialog: name, version and author, a notice, and three links.
class Tfrmabout : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmabout(QWidget* parent = nullptr);

  QLabel* Image1 = nullptr;
  QFrame* Bevel1 = nullptr;
  QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr;
  QLabel *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr;
  QTextEdit* Memo1 = nullptr;
  TClickLabel* Image2 = nullptr;
  TClickLabel* Label7 = nullptr;  // the maker's home page
  TClickLabel* Label8 = nullptr;  // feedback mail
  QPushButton* Button1 = nullptr;

  void FormShow();
  void Label7MouseMove();
  void Label7MouseLeave();
  void Label8MouseMove();
  void Label8MouseLeave();
  void Label7Click();
  void Label8Click();
  void Image2Click();
  void Button1Click();

  // Configuration of the links.
  static QString FeedbackAddress();
  static QString ContactAddress();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};
