#pragma once
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TClickLabel;
struct TOpsConnectionTest;

// The OPS account dialog: the consumer key and secret, the registration page, a test of the
// connection, and 确定 to keep them in ops.ini. The key and secret go nowhere else.
class Tfrmopsaccount : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmopsaccount(QWidget* parent = nullptr);

  // Controls, named as their objectName.
  QLabel* lbintro = nullptr;
  QLabel* lbregister = nullptr;
  TClickLabel* lblink = nullptr;  // the registration page, opened by the system's browser
  QLabel *lbkey = nullptr, *lbsecret = nullptr;
  QLineEdit* edkey = nullptr;
  QLineEdit* edsecret = nullptr;  // a password field
  QCheckBox* ckshow = nullptr;    // shows the secret as typed
  QLabel* lbenv = nullptr;        // shown while the environment's credentials win
  QPushButton* bttest = nullptr;
  QLabel* lbresult = nullptr;     // what the connection test got back
  QPushButton* btok = nullptr;
  QPushButton* btcancel = nullptr;

  void FormShow();
  void bttestClick();
  void btokClick();
  void ckshowClick();
  void lblinkClick();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowTestResult(int ticket, const TOpsConnectionTest& result);

  // Numbers the connection tests, so that a test started before the dialog was shown
  // again, or before another test, never overwrites a newer one's answer.
  int testTicket_ = 0;
};
