#include "widgets.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QIdentityProxyModel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

QFont FormFont() {
  QFont font;
  font.setFamilies({"Tahoma", "Noto Sans CJK SC"});
  font.setPixelSize(11);
  return font;
}

void MakeFixedDialog(QDialog* dialog, int width, int height) {
  dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  dialog->setFixedSize(width, height);
  dialog->setFont(FormFont());
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect desk = screen->availableGeometry();
    dialog->move(desk.x() + (desk.width() - width) / 2, desk.y() + (desk.height() - height) / 2);
  }
}

QLabel* TextLabel(QWidget* parent, const char* name, int x, int y, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(x, y);
  label->adjustSize();
  return label;
}

QLabel* FieldLabel(QWidget* parent, const char* name, int x, const QLineEdit* field, const QString& text) {
  // An edit centres its line inside its frame and one more pixel, an odd remainder going
  // below; the label, one line high, takes the same top.
  const int inset = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, field) + 1;
  const int lineHeight = QFontMetrics(field->font()).height();
  return TextLabel(parent, name, x, field->y() + inset + (field->height() - 2 * inset - lineHeight + 1) / 2, text);
}

namespace {

// Qt's file model writes sizes and dates by the system's locale; this writes them by the
// program's (the default locale). Columns: name, size, type, date modified.
class TLocaleFileModel : public QIdentityProxyModel {
 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  QVariant data(const QModelIndex& index, int role) const override {
    auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
      return QIdentityProxyModel::data(index, role);
    const QFileInfo info = files->fileInfo(mapToSource(index));
    if (index.column() == 3) return QLocale().toString(info.lastModified(), QLocale::ShortFormat);
    return info.isDir() ? QIdentityProxyModel::data(index, role) : QVariant(QLocale().formattedDataSize(info.size()));
  }
};

}  // namespace

void MakeProgramFileDialog(QFileDialog* dialog) {
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setProxyModel(new TLocaleFileModel(dialog));
}

QPushButton* PushButton(QWidget* parent, const char* name, const QRect& geometry, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  return button;
}

QFrame* Panel(QWidget* parent, const char* name, const QRect& geometry) {
  auto* panel = PlaceControl<QFrame>(parent, name, geometry);
  panel->setFrameStyle(QFrame::NoFrame);
  return panel;
}

QFrame* SunkenBox(QWidget* parent, const char* name, const QRect& geometry) {
  auto* box = PlaceControl<QFrame>(parent, name, geometry);
  box->setFrameStyle(QFrame::Box | QFrame::Sunken);
  return box;
}

QPlainTextEdit* ReadOnlyMemo(QWidget* parent, const char* name, const QRect& geometry) {
  auto* memo = PlaceControl<QPlainTextEdit>(parent, name, geometry);
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return memo;
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(event);
}

TLeftLineBevel::TLeftLineBevel(QWidget* parent) : QFrame(parent) {
  // It overlaps the button beside it; clicks must reach that button.
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TLeftLineBevel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(palette().color(QPalette::Dark));
  p.drawLine(0, 0, 0, height() - 1);
  p.setPen(palette().color(QPalette::Light));
  p.drawLine(1, 0, 1, height() - 1);
}
