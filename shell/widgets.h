#pragma once
#include <QFont>
#include <QFrame>
#include <QLabel>

class QDialog;

// The font of every window: Tahoma 8 pt (11 pixels); Chinese text takes a CJK face.
QFont FormFont();

// The look of the program's dialogs: fixed client size, stays on top, the window font,
// centred on the desktop when made (later showings keep where the user moved it).
void MakeFixedDialog(QDialog* dialog, int width, int height);

// A picture or text label that acts as a button (the lookup start picture, the about
// dialog's links): it reports a left click made and released over it.
class TClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TClickLabel(QWidget* parent = nullptr) : QLabel(parent) {}

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A separator drawn as a lowered line on the left edge only.
class TLeftLineBevel : public QFrame {
 public:
  explicit TLeftLineBevel(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
