#pragma once
#include <QAction>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QRect>
#include <QString>

class QDialog;
class QFileDialog;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The font of every window: Tahoma 8 pt (11 pixels); Chinese text takes a CJK face.
QFont FormFont();

// The look of the program's dialogs: fixed client size, stays on top, the window font,
// centred on the desktop when made (later showings keep where the user moved it).
void MakeFixedDialog(QDialog* dialog, int width, int height);

// The builders of the forms' controls. Each control gets its objectName (window tests find
// controls by it) and its place in parent; the order of the calls gives the default tab order.

// A control of type T at geometry.
template <class T>
T* PlaceControl(QWidget* parent, const char* name, const QRect& geometry) {
  auto* control = new T(parent);
  control->setObjectName(name);
  control->setGeometry(geometry);
  return control;
}

// A caption or note: text whose top left corner is at (x, y), sized to the text.
QLabel* TextLabel(QWidget* parent, const char* name, int x, int y, const QString& text);

// The caption of an edit, at x in the edit's row and as high as the edit draws its text,
// so that both stand on one baseline whatever the font.
QLabel* FieldLabel(QWidget* parent, const char* name, int x, const QLineEdit* field, const QString& text);

// A push button with its caption.
QPushButton* PushButton(QWidget* parent, const char* name, const QRect& geometry, const QString& caption);

// A panel that only holds other controls: no frame.
QFrame* Panel(QWidget* parent, const char* name, const QRect& geometry);

// A sunken box drawn around a group of controls.
QFrame* SunkenBox(QWidget* parent, const char* name, const QRect& geometry);

// A memo the user reads and a run or the program writes: read-only, its vertical scroll
// bar always shown.
QPlainTextEdit* ReadOnlyMemo(QWidget* parent, const char* name, const QRect& geometry);

// Makes a file dialog the program's own: Qt's dialog rather than the desktop's, so that its
// texts, sizes and dates are in the program's language and locale, whatever the system's.
void MakeProgramFileDialog(QFileDialog* dialog);

// A menu item that calls handler of receiver when chosen.
template <class Receiver>
QAction* MenuItem(QMenu* menu, const char* name, const QString& caption, Receiver* receiver,
                  void (Receiver::*handler)()) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(name);
  QObject::connect(item, &QAction::triggered, receiver, handler);
  return item;
}

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
