#include "glyphs.h"

#include <QPainter>
#include <QPainterPath>

namespace glyphs {
namespace {

const QColor kBlue(0x2f, 0x5d, 0x8a);
const QColor kGreen(0x2e, 0x8b, 0x3a);
const QColor kRed(0xc6, 0x28, 0x28);
const QColor kAmber(0xd9, 0x8c, 0x1a);

QPixmap Canvas(int w, int h) {
  QPixmap pm(w, h);
  pm.fill(Qt::transparent);
  return pm;
}

void Arrow(QPainter& p, bool right) {
  QPainterPath path;
  if (right) {
    path.moveTo(15, 8); path.lineTo(8, 2); path.lineTo(8, 5.5); path.lineTo(1.5, 5.5);
    path.lineTo(1.5, 10.5); path.lineTo(8, 10.5); path.lineTo(8, 14); path.closeSubpath();
  } else {
    path.moveTo(1, 8); path.lineTo(8, 2); path.lineTo(8, 5.5); path.lineTo(14.5, 5.5);
    path.lineTo(14.5, 10.5); path.lineTo(8, 10.5); path.lineTo(8, 14); path.closeSubpath();
  }
  p.setPen(QPen(kGreen.darker(140), 1));
  p.setBrush(kGreen);
  p.drawPath(path);
}

void Refresh(QPainter& p) {
  p.setPen(QPen(kBlue, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 270 * 16);
  QPainterPath head;
  head.moveTo(14.5, 1.5); head.lineTo(14.5, 7); head.lineTo(9, 7); head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawPath(head);
}

void Stop(QPainter& p) {
  p.setPen(QPen(kRed.darker(140), 1));
  p.setBrush(kRed);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
  p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
  p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
}

void Records(QPainter& p) {
  p.setPen(QPen(kBlue.darker(130), 1));
  p.setBrush(QColor(0xfb, 0xfb, 0xf2));
  p.drawRect(QRectF(2.5, 1.5, 11, 13));
  p.setPen(QPen(kBlue, 1.2));
  for (int y = 5; y <= 12; y += 3) {
    p.drawPoint(QPointF(4.8, y));
    p.drawLine(QPointF(6.5, y), QPointF(11.5, y));
  }
}

void Magnifier(QPainter& p, qreal x, qreal y, qreal r, const QColor& c) {
  p.setPen(QPen(c, 2));
  p.setBrush(QColor(0xdd, 0xee, 0xff));
  p.drawEllipse(QPointF(x, y), r, r);
  p.setPen(QPen(c.darker(130), 2.6, Qt::SolidLine, Qt::RoundCap));
  qreal d = r * 0.72;
  p.drawLine(QPointF(x + d, y + d), QPointF(x + d + r * 0.8, y + d + r * 0.8));
}

void Download(QPainter& p) {
  QPainterPath path;
  path.moveTo(8, 12); path.lineTo(2.5, 6.5); path.lineTo(5.5, 6.5); path.lineTo(5.5, 1.5);
  path.lineTo(10.5, 1.5); path.lineTo(10.5, 6.5); path.lineTo(13.5, 6.5); path.closeSubpath();
  p.setPen(QPen(kBlue.darker(140), 1));
  p.setBrush(kBlue);
  p.drawPath(path);
  p.setPen(QPen(kAmber, 2));
  p.drawLine(QPointF(2, 14.5), QPointF(14, 14.5));
}

// A stack of three volumes: the library.
void Library(QPainter& p) {
  const QColor spines[] = {kBlue, kGreen, kAmber};
  for (int i = 0; i < 3; ++i) {
    p.setPen(QPen(spines[i].darker(140), 1));
    p.setBrush(spines[i]);
    p.drawRect(QRectF(1.5 + 4.5 * i, 2.5 + (i == 1 ? 1 : 0), 3.5, 11.5 - (i == 1 ? 1 : 0)));
  }
  p.setPen(QPen(kBlue.darker(140), 1.2));
  p.drawLine(QPointF(1, 14.8), QPointF(15, 14.8));
}

// A sheet with an arrow leaving it: records out to a file.
void Export(QPainter& p) {
  p.setPen(QPen(kBlue.darker(130), 1));
  p.setBrush(QColor(0xfb, 0xfb, 0xf2));
  p.drawRect(QRectF(1.5, 1.5, 9, 13));
  p.setPen(QPen(kBlue, 1));
  for (int y = 5; y <= 11; y += 3) p.drawLine(QPointF(3.5, y), QPointF(8.5, y));
  QPainterPath arrow;
  arrow.moveTo(15.5, 9); arrow.lineTo(11.5, 5); arrow.lineTo(11.5, 7.3); arrow.lineTo(7, 7.3);
  arrow.lineTo(7, 10.7); arrow.lineTo(11.5, 10.7); arrow.lineTo(11.5, 13); arrow.closeSubpath();
  p.setPen(QPen(kGreen.darker(140), 1));
  p.setBrush(kGreen);
  p.drawPath(arrow);
}

// A page with a red band: the page as PDF.
void SavePdf(QPainter& p) {
  p.setPen(QPen(kBlue.darker(130), 1));
  p.setBrush(QColor(0xfb, 0xfb, 0xf2));
  p.drawRect(QRectF(2.5, 1.5, 11, 13));
  p.setPen(Qt::NoPen);
  p.setBrush(kRed);
  p.drawRect(QRectF(1, 8, 14, 5));
  p.setPen(QPen(Qt::white, 1));
  for (qreal x : {3.5, 7.5, 11.5}) p.drawLine(QPointF(x, 9.5), QPointF(x + 1.5, 9.5));
}

}  // namespace

QIcon ToolbarGlyph(Glyph glyph) {
  QPixmap pm = Canvas(16, 16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  switch (glyph) {
    case Glyph::Back: Arrow(p, false); break;
    case Glyph::Forward: Arrow(p, true); break;
    case Glyph::Refresh: Refresh(p); break;
    case Glyph::Stop: Stop(p); break;
    case Glyph::Records: Records(p); break;
    case Glyph::Search: Magnifier(p, 6.5, 6.5, 4.3, kBlue); break;
    case Glyph::Download: Download(p); break;
    case Glyph::Library: Library(p); break;
    case Glyph::Export: Export(p); break;
    case Glyph::SavePdf: SavePdf(p); break;
  }
  p.end();
  return QIcon(pm);
}

QPixmap LookupIcon() {
  QPixmap pm = Canvas(24, 24);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kGreen.darker(130), 1));
  p.setBrush(kGreen);
  p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
  QPainterPath arrow;
  arrow.moveTo(18, 12); arrow.lineTo(12, 6); arrow.lineTo(12, 9.5); arrow.lineTo(6, 9.5);
  arrow.lineTo(6, 14.5); arrow.lineTo(12, 14.5); arrow.lineTo(12, 18); arrow.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(arrow);
  return pm;
}

QPixmap Logo(int width, int height) {
  // A patent document with a magnifier over it.
  QPixmap pm = Canvas(width, height);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  qreal s = std::min(width, height) / 64.0;
  p.translate((width - 64 * s) / 2, (height - 64 * s) / 2);
  p.scale(s, s);
  QPainterPath page;
  page.moveTo(10, 4); page.lineTo(38, 4); page.lineTo(48, 14); page.lineTo(48, 58); page.lineTo(10, 58);
  page.closeSubpath();
  p.setPen(QPen(kBlue.darker(130), 1.5));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setBrush(QColor(0xdd, 0xe6, 0xf0));
  QPainterPath fold;
  fold.moveTo(38, 4); fold.lineTo(38, 14); fold.lineTo(48, 14); fold.closeSubpath();
  p.drawPath(fold);
  p.setPen(QPen(kBlue, 2.5, Qt::SolidLine, Qt::RoundCap));
  for (int y = 22; y <= 46; y += 6) p.drawLine(QPointF(16, y), QPointF(y > 34 ? 30 : 42, y));
  p.setPen(QPen(kRed, 3));
  p.setBrush(QColor(255, 255, 255, 170));
  p.drawEllipse(QPointF(40, 42), 10, 10);
  p.setPen(QPen(kRed.darker(130), 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(47.5, 49.5), QPointF(57, 59));
  return pm;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(Logo(size, size));
  return icon;
}

QPixmap ContactBadge() {
  QPixmap pm = Canvas(49, 17);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kBlue.darker(130), 1));
  p.setBrush(kBlue);
  p.drawRoundedRect(QRectF(0.5, 0.5, 48, 16), 4, 4);
  QFont f = p.font();
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(0, 0, 49, 17), Qt::AlignCenter, "XMPP");
  return pm;
}

}  // namespace glyphs
