#include "shell/frmquery.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <iterator>

#include "base/datadir.h"
#include "search/getquery.h"
#include "search/searchargs.h"
#include "shell/frmwatch.h"
#include "search/searchtexts.h"
#include "shell/forms.h"
#include "shell/msgbox.h"
#include "shell/qthandover.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"
#include "shell/widgets.h"

namespace {

using namespace frmquerytext;

// The site's dialog, and the strip OPS's fields add below it.
constexpr int kWidth = 537;
constexpr int kHeight = 322;
constexpr int kOpsHeight = 168;

// A lowered line along the bottom edge of its rectangle.
class TBottomLineBevel : public QFrame {
 public:
  explicit TBottomLineBevel(QWidget* parent) : QFrame(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, height() - 2, width() - 1, height() - 2);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
  }
};

QCheckBox* Option(QWidget* parent, const char* name, QRect geometry, const char* gbkText) {
  auto* c = PlaceControl<QCheckBox>(parent, name, geometry);
  c->setText(QtText(gbkText));
  return c;
}

}  // namespace

Tfrmquery::Tfrmquery(QWidget* parent) : QDialog(parent) {
  setObjectName("frmquery");
  setWindowTitle(QtText(kCaption));
  MakeFixedDialog(this, kWidth, kHeight);

  Panel1 = Panel(this, "Panel1", {0, 0, 233, 322});

  mmo = ReadOnlyMemo(this, "mmo", {233, 0, 304, 322});
  mmo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  Bevel1 = SunkenBox(Panel1, "Bevel1", {8, 8, 217, 297});

  edtitle = PlaceControl<QLineEdit>(Panel1, "edtitle", {56, 16, 161, 21});
  edabs = PlaceControl<QLineEdit>(Panel1, "edabs", {56, 48, 161, 21});
  edg = PlaceControl<QLineEdit>(Panel1, "edg", {56, 80, 65, 21});
  Label1 = FieldLabel(Panel1, "Label1", 16, edtitle, QtText(kLabelTitle));
  Label2 = FieldLabel(Panel1, "Label2", 16, edabs, QtText(kLabelAbstract));
  Label3 = FieldLabel(Panel1, "Label3", 16, edg, QtText(kLabelClass));

  cklaw = Option(Panel1, "cklaw", {56, 120, 81, 17}, kLegalStatus);
  ckzq = Option(Panel1, "ckzq", {56, 152, 97, 17}, kFirstClaim);
  ckabs = Option(Panel1, "ckabs", {56, 176, 73, 17}, kAbstractInfo);
  ckowner = Option(Panel1, "ckowner", {56, 200, 97, 17}, kPatentee);

  Bevel2 = PlaceControl<TBottomLineBevel>(Panel1, "Bevel2", {24, 216, 185, 17});

  lbzq = PlaceControl<QLabel>(Panel1, "lbzq", {24, 236, 193, 26});
  lbzq->setText(QtText(kFirstClaimOps));
  lbzq->setWordWrap(true);
  spmax = PlaceControl<QSpinBox>(Panel1, "spmax", {152, 80, 49, 21});
  // OPS serves any number of records by slices; the site's page always held up to 100.
  spmax->setRange(1, 10000);
  spmax->setValue(TSearchAsk().max);
  Label4 = FieldLabel(Panel1, "Label4", 128, edg, QtText(kMaxHead));
  Label5 = FieldLabel(Panel1, "Label5", 205, edg, QtText(kMaxTail));

  btstart = PushButton(Panel1, "btstart", {112, 264, 97, 25}, QtText(kStart));
  msgbt = PushButton(Panel1, "msgbt", {32, 264, 75, 25}, QtText(kBack));
  msgbt->setVisible(false);
  // Never the dialog's default button: only the run's end may click it.
  msgbt->setAutoDefault(false);

  BuildOpsControls();
  QWidget* order[] = {edtitle, edabs,  edg,     spmax,   edapplicant, edinventor, edtext,   edcpc,      ednumber,      edfrom,
                      edto,    btstart, cklaw, ckabs, ckzq,  ckowner,     ckfamily,   ckcollapse, cknotranslate, btwatch, msgbt, mmo};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

  connect(btstart, &QPushButton::clicked, this, &Tfrmquery::btstartClick);
  connect(msgbt, &QPushButton::clicked, this, &Tfrmquery::msgbtClick);
  connect(btwatch, &QPushButton::clicked, this, &Tfrmquery::btwatchClick);

  handOver_ = std::make_unique<QtHandOver>(mmo, btstart, msgbt);
  handOver_->SetStandingView(pbrecords, nullptr, lbtimeleft);
  ShowSourceControls();
}

Tfrmquery::~Tfrmquery() = default;

void Tfrmquery::BuildOpsControls() {
  Panel3 = Panel(this, "Panel3", {0, kHeight, kWidth, kOpsHeight});
  auto field = [this](const char* name, const char* label, QRect geometry) {
    auto* edit = PlaceControl<QLineEdit>(Panel3, name, geometry);
    FieldLabel(Panel3, (std::string("lb") + name).c_str(), geometry.x() - 64, edit, QtText(label));
    return edit;
  };
  edapplicant = field("edapplicant", kLabelApplicant, {76, 8, 149, 21});
  edinventor = field("edinventor", kLabelInventor, {76, 34, 149, 21});
  edtext = field("edtext", kLabelText, {76, 60, 149, 21});
  edcpc = field("edcpc", kLabelCpc, {76, 86, 149, 21});
  ednumber = field("ednumber", kLabelNumber, {76, 112, 149, 21});
  edfrom = field("edfrom", kLabelFrom, {76, 138, 68, 21});
  edto = PlaceControl<QLineEdit>(Panel3, "edto", {157, 138, 68, 21});
  FieldLabel(Panel3, "lbedto", 147, edto, QtText(kLabelTo));
  for (QLineEdit* date : {edfrom, edto}) date->setToolTip(QtText(kDateHint));
  pbrecords = PlaceControl<QProgressBar>(Panel3, "pbrecords", {241, 8, 288, 17});
  pbrecords->setValue(0);
  lbtimeleft = PlaceControl<QLabel>(Panel3, "lbtimeleft", {241, 30, 288, 17});
  ckfamily = Option(Panel3, "ckfamily", {241, 88, 200, 17}, kFamily);
  ckcollapse = Option(Panel3, "ckcollapse", {241, 112, 200, 17}, kCollapseFamily);
  cknotranslate = Option(Panel3, "cknotranslate", {241, 136, 200, 17}, kNoTranslate);
  // The fields as a watch: OPS's search, so beside OPS's fields.
  btwatch = PushButton(Panel3, "btwatch", {432, 56, 97, 25}, QtText(frmwatchtext::kSaveButton));
}

void Tfrmquery::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void Tfrmquery::FormShow() {
  ShowSourceControls();
  edtitle->setFocus();
}

void Tfrmquery::ShowSourceControls() {
  const bool ops = ChooseSource() == TSourceKind::Ops;
  // OPS's fields and the run's bar below the site's dialog, which stays as it was.
  Panel3->setVisible(ops);
  setFixedSize(kWidth, ops ? kHeight + kOpsHeight : kHeight);
  for (QWidget* w : {static_cast<QWidget*>(lbzq), static_cast<QWidget*>(spmax), static_cast<QWidget*>(Label4),
                     static_cast<QWidget*>(Label5)})
    w->setVisible(ops);
}

void Tfrmquery::btstartClick() {
  btstart->setEnabled(false);
  mmo->appendPlainText(QtText(shelltext::kRunStartLine));
  const TSourceKind source = ChooseSource();
  const TSearchAsk ask = FieldsAsk(source);
  // A query OPS would refuse is never sent: the message says which field.
  if (const std::string problem = SearchAskProblem(source, ask); !problem.empty()) {
    msgbox::Show(this, QtText(problem));
    btstart->setEnabled(true);
    return;
  }
  std::string expression = SearchExpression(source, ask);
  if (expression.empty()) {
    msgbox::Show(this, QtText(shelltext::kNoCondition));
    btstart->setEnabled(true);
    return;
  }
  mmo->clear();
  expression_ = expression;
  auto result = std::make_shared<TSearchResult>();
  // A run OPS cut short (a used-up quota) says why, not only that it ended.
  std::function<std::string()> reason;
  if (source == TSourceKind::Ops) reason = [result] { return result->error; };
  handOver_->AddEndReason(reason);
  handOver_->RunStarting(kActivitySearch);
  new getquery(handOver_.get(), source, ask, result);
}

TSearchAsk Tfrmquery::FieldsAsk(TSourceKind source) const {
  TSearchAsk ask;
  ask.title = GbkText(edtitle->text());
  ask.abstractWords = GbkText(edabs->text());
  ask.classification = GbkText(edg->text());
  ask.legalStatus = cklaw->isChecked();
  ask.abstractText = ckabs->isChecked();
  ask.firstClaim = ckzq->isChecked();
  ask.patentee = ckowner->isChecked();
  if (source == TSourceKind::Ops) {
    ask.max = spmax->value();
    ask.applicant = GbkText(edapplicant->text());
    ask.inventor = GbkText(edinventor->text());
    ask.text = GbkText(edtext->text());
    ask.cpc = GbkText(edcpc->text());
    ask.number = GbkText(ednumber->text());
    ask.dateFrom = GbkText(edfrom->text());
    ask.dateTo = GbkText(edto->text());
    ask.family = ckfamily->isChecked();
    ask.collapseFamily = ckcollapse->isChecked();
    ask.translate = !cknotranslate->isChecked();
  }
  // OPS has no claims text for CN: the box asks for the claims page's recognised text.
  ask.firstClaimOcr = ask.firstClaim && source == TSourceKind::Ops;
  return ask;
}

void Tfrmquery::btwatchClick() {
  // Watches search OPS; the fields of the site's search may ask what OPS cannot.
  if (ChooseSource() != TSourceKind::Ops) {
    msgbox::Show(this, QtText(frmwatchtext::kSaveOpsOnly));
    return;
  }
  TSearchOptions options;
  options.ask = FieldsAsk(TSourceKind::Ops);
  SaveSearchAsWatch(this, options);
}

void Tfrmquery::msgbtClick() {
  if (!AskToShowReport(this, SearchReportPath(datadir::Root(), expression_))) edtitle->setFocus();
}
