#include "widgets.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

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
