#include "shell/frmopsaccount.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <cstdlib>
#include <thread>

#include "base/errors.h"
#include "shell/forms.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"
#include "shell/widgets.h"
#include "sources/opsaccount.h"

namespace {

using namespace opsaccounttext;

constexpr int kWidth = 440;
constexpr int kHeight = 268;
constexpr int kFieldX = 120;

QLabel* WrappedLabel(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
  auto* label = PlaceControl<QLabel>(parent, name, geometry);
  label->setText(text);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return label;
}

bool EnvironmentHoldsCredentials() {
  const char* key = std::getenv("VARNOLT_OPS_KEY");
  const char* secret = std::getenv("VARNOLT_OPS_SECRET");
  return key && secret && *key && *secret;
}

}  // namespace

Tfrmopsaccount::Tfrmopsaccount(QWidget* parent) : QDialog(parent) {
  setObjectName("frmopsaccount");
  setWindowTitle(QtText(kCaption));
  MakeFixedDialog(this, kWidth, kHeight);

  lbintro = WrappedLabel(this, "lbintro", {12, 10, kWidth - 24, 32}, QtText(kIntro));
  lbregister = TextLabel(this, "lbregister", 12, 50, QtText(kRegister));
  lblink = new TClickLabel(this);
  lblink->setObjectName("lblink");
  lblink->setText(QString::fromLatin1(kOpsRegistrationUrl));
  lblink->move(kFieldX, 50);
  lblink->adjustSize();
  lblink->setCursor(Qt::PointingHandCursor);
  QPalette linkColours = lblink->palette();
  linkColours.setColor(QPalette::WindowText, Qt::blue);
  lblink->setPalette(linkColours);
  QFont underlined = lblink->font();
  underlined.setUnderline(true);
  lblink->setFont(underlined);

  edkey = PlaceControl<QLineEdit>(this, "edkey", {kFieldX, 74, kWidth - kFieldX - 12, 21});
  edsecret = PlaceControl<QLineEdit>(this, "edsecret", {kFieldX, 104, kWidth - kFieldX - 72, 21});
  edsecret->setEchoMode(QLineEdit::Password);
  ckshow = PlaceControl<QCheckBox>(this, "ckshow", {kWidth - 62, 106, 56, 17});
  ckshow->setText(QtText(kShowSecret));
  lbkey = FieldLabel(this, "lbkey", 12, edkey, QtText(kKey));
  lbsecret = FieldLabel(this, "lbsecret", 12, edsecret, QtText(kSecret));
  lbenv = WrappedLabel(this, "lbenv", {12, 132, kWidth - 24, 28}, QtText(kEnvironment));

  bttest = PushButton(this, "bttest", {12, 166, 90, 25}, QtText(kTest));
  bttest->setAutoDefault(false);
  // Room for four lines: a refusal says what is wrong, then the service's own words.
  lbresult = WrappedLabel(this, "lbresult", {110, 166, kWidth - 122, 58}, QString());

  btok = PushButton(this, "btok", {kWidth - 188, kHeight - 35, 84, 25}, QtText(kOk));
  btok->setDefault(true);
  btcancel = PushButton(this, "btcancel", {kWidth - 96, kHeight - 35, 84, 25}, QtText(kCancel));
  btcancel->setAutoDefault(false);

  connect(bttest, &QPushButton::clicked, this, &Tfrmopsaccount::bttestClick);
  connect(btok, &QPushButton::clicked, this, &Tfrmopsaccount::btokClick);
  connect(btcancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(ckshow, &QCheckBox::clicked, this, &Tfrmopsaccount::ckshowClick);
  connect(lblink, &TClickLabel::clicked, this, &Tfrmopsaccount::lblinkClick);
}

void Tfrmopsaccount::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void Tfrmopsaccount::FormShow() {
  // What ops.ini holds, not what the environment says: 确定 writes the file.
  const TOpsCredentials stored = ReadOpsIni();
  edkey->setText(QtText(stored.key));
  edsecret->setText(QtText(stored.secret));
  ckshow->setChecked(false);
  ckshowClick();
  lbenv->setVisible(EnvironmentHoldsCredentials());
  ++testTicket_;
  bttest->setEnabled(true);
  lbresult->clear();
  edkey->setFocus();
}

// The system's browser: the dialog is modal, so a page in the main window could not be used
// until it closes, and signing up wants a full browser anyway.
void Tfrmopsaccount::lblinkClick() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kOpsRegistrationUrl))); }

void Tfrmopsaccount::ckshowClick() {
  edsecret->setEchoMode(ckshow->isChecked() ? QLineEdit::Normal : QLineEdit::Password);
}

void Tfrmopsaccount::bttestClick() {
  const TOpsCredentials credentials{GbkText(edkey->text().trimmed()), GbkText(edsecret->text().trimmed())};
  const std::string host = OpsHost();
  const int ticket = ++testTicket_;
  bttest->setEnabled(false);
  lbresult->setStyleSheet(QString());
  lbresult->setText(QtText(kTesting));
  // The token request may take as long as the client's time limits: never on the window's thread.
  QPointer<Tfrmopsaccount> self(this);
  std::thread([credentials, host, ticket, self] {
    const TOpsConnectionTest result = TestOpsConnection(credentials, host);
    QMetaObject::invokeMethod(
        qApp, [self, ticket, result] {
          if (self) self->ShowTestResult(ticket, result);
        },
        Qt::QueuedConnection);
  }).detach();
}

void Tfrmopsaccount::ShowTestResult(int ticket, const TOpsConnectionTest& result) {
  if (ticket != testTicket_) return;
  bttest->setEnabled(true);
  // A key or secret the token service does not know: said in plain words before the
  // service's own.
  lbresult->setText(QtText(std::string(result.wrongAccount ? kWrongAccount : "") + result.message));
  lbresult->setStyleSheet(result.ok ? "color: #006400;" : "color: #b00000;");
}

void Tfrmopsaccount::btokClick() {
  try {
    WriteOpsCredentials({GbkText(edkey->text().trimmed()), GbkText(edsecret->text().trimmed())});
  } catch (const EFileError& e) {
    msgbox::Show(this, QtText(kNotSaved) + QtText(e.what()));
    return;
  }
  accept();
}
