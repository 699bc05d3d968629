#include "widgets.h"

#include <QMouseEvent>
#include <QPainter>

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
