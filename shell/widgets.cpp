#include "widgets.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
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
