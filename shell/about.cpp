#include "about.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "shell/forms.h"
#include "shell/glyphs.h"
#include "shell/lookup.h"
#include "shell/mainwindow.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"
#include "shell/versionfile.h"
#include "shell/widgets.h"

namespace {

TClickLabel* LinkLabel(QWidget* parent, const char* name, int x, int y, const char* gbkCaption,
                       const char* gbkHint) {
  auto* l = new TClickLabel(parent);
  l->setObjectName(name);
  l->setText(QtText(gbkCaption));
  l->setToolTip(QtText(gbkHint));
  l->setCursor(Qt::PointingHandCursor);
  l->setMouseTracking(true);
  l->move(x, y);
  return l;
}

// Blue and regular when idle, red and bold under the mouse; sized for the bold text.
void SetLinkLook(QLabel* label, bool hot) {
  QPalette pal = label->palette();
  pal.setColor(QPalette::WindowText, hot ? Qt::red : Qt::blue);
  label->setPalette(pal);
  QFont f = label->font();
  f.setBold(hot);
  label->setFont(f);
  QFont bold = f;
  bold.setBold(true);
  label->resize(QFontMetrics(bold).horizontalAdvance(label->text()) + 2, QFontMetrics(bold).height());
}

constexpr int kNoticeLines = 7;

// Narrows the line spacing so that `lines` lines fit the memo's height: a CJK face's own
// spacing (16 pixels at the form's 11) would cut the last line of the notice.
void FitLines(QTextEdit* memo, int lines) {
  QTextDocument* doc = memo->document();
  doc->setDocumentMargin(2);
  const int room = memo->height() - 2 * memo->frameWidth() - 2 * static_cast<int>(doc->documentMargin());
  const int spacing = std::min(QFontMetrics(memo->font()).lineSpacing(), room / lines);
  QTextBlockFormat format;
  format.setLineHeight(spacing, QTextBlockFormat::FixedHeight);
  QTextCursor all(doc);
  all.select(QTextCursor::Document);
  all.mergeBlockFormat(format);
}

}  // namespace

Tfrmabout::Tfrmabout(QWidget* parent) : QDialog(parent) {
  setObjectName("frmabout");
  MakeFixedDialog(this, 406, 246);

  Image1 = PlaceControl<QLabel>(this, "Image1", {8, 8, 89, 81});
  Image1->setPixmap(glyphs::Logo(81, 81));
  Image1->setAlignment(Qt::AlignCenter);

  Bevel1 = SunkenBox(this, "Bevel1", {96, 8, 305, 81});

  Label1 = TextLabel(this, "Label1", 104, 16, QtText(shelltext::kAboutName));
  Label2 = TextLabel(this, "Label2", 104, 40, QtText(shelltext::kAboutVersion));
  Label3 = TextLabel(this, "Label3", 104, 64, QtText(shelltext::kAboutAuthor));
  Label4 = TextLabel(this, "Label4", 152, 16, QString());
  Label5 = TextLabel(this, "Label5", 152, 40, QString());
  Label6 = TextLabel(this, "Label6", 152, 64, QtText(shelltext::kAuthorName));

  Memo1 = PlaceControl<QTextEdit>(this, "Memo1", {8, 96, 393, 113});
  Memo1->setReadOnly(true);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setPlainText(QtText(std::string(shelltext::kNotice1) + "\n" + shelltext::kNotice2 + "\n" +
                             shelltext::kNotice3 + "\n" + shelltext::kNotice4 + "\n" + shelltext::kNotice5 +
                             "\n" + shelltext::kNotice6 + "\n" + shelltext::kNotice7));
  FitLines(Memo1, kNoticeLines);

  Image2 = PlaceControl<TClickLabel>(this, "Image2", {8, 224, 49, 17});
  Image2->setPixmap(glyphs::ContactBadge());
  Image2->setCursor(Qt::PointingHandCursor);
  Image2->setToolTip(ContactAddress());

  Label8 = LinkLabel(this, "Label8", 64, 224, shelltext::kFeedback, shelltext::kFeedbackHint);
  Label7 = LinkLabel(this, "Label7", 120, 224, shelltext::kHomePage, shelltext::kHomePageHint);
  SetLinkLook(Label7, false);
  SetLinkLook(Label8, false);
  Label7->installEventFilter(this);
  Label8->installEventFilter(this);

  Button1 = PushButton(this, "Button1", {328, 216, 75, 25}, QtText(shelltext::kOk));
  Button1->setDefault(true);

  connect(Label7, &TClickLabel::clicked, this, &Tfrmabout::Label7Click);
  connect(Label8, &TClickLabel::clicked, this, &Tfrmabout::Label8Click);
  connect(Image2, &TClickLabel::clicked, this, &Tfrmabout::Image2Click);
  connect(Button1, &QPushButton::clicked, this, &Tfrmabout::Button1Click);
}

QString Tfrmabout::FeedbackAddress() { return "mailto:feedback@varnolt.org"; }
QString Tfrmabout::ContactAddress() { return "xmpp:team@varnolt.org"; }

void Tfrmabout::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void Tfrmabout::FormShow() {
  int version = frmmain ? frmmain->version : versionfile::kProgramVersion;
  Label5->setText(QString::number(version));
  Label5->adjustSize();
  Label4->setText(QtText(shelltext::kAppTitle));
  Label4->adjustSize();
  setWindowTitle(QtText(std::string(shelltext::kAboutPrefix) + shelltext::kAppTitle));
}

bool Tfrmabout::eventFilter(QObject* watched, QEvent* event) {
  bool over = event->type() == QEvent::Enter || event->type() == QEvent::MouseMove;
  bool left = event->type() == QEvent::Leave;
  if (watched == Label7) {
    if (over) Label7MouseMove();
    if (left) Label7MouseLeave();
  } else if (watched == Label8) {
    if (over) Label8MouseMove();
    if (left) Label8MouseLeave();
  }
  return QDialog::eventFilter(watched, event);
}

void Tfrmabout::Label7MouseMove() { SetLinkLook(Label7, true); }
void Tfrmabout::Label7MouseLeave() { SetLinkLook(Label7, false); }
void Tfrmabout::Label8MouseMove() { SetLinkLook(Label8, true); }
void Tfrmabout::Label8MouseLeave() { SetLinkLook(Label8, false); }

void Tfrmabout::Label7Click() {
  QDesktopServices::openUrl(QUrl(QtText(lookup::LinkAddress(lookup::Link::MakerHome))));
}
void Tfrmabout::Label8Click() { QDesktopServices::openUrl(QUrl(FeedbackAddress())); }
void Tfrmabout::Image2Click() { QDesktopServices::openUrl(QUrl(ContactAddress())); }

void Tfrmabout::Button1Click() { accept(); }
