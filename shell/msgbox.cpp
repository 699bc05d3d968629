#include "msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace msgbox {
namespace {
Handler& TestHandler() {
  static Handler handler;
  return handler;
}
}  // namespace

void Show(QWidget* parent, const QString& text) {
  if (TestHandler()) {
    TestHandler()(Kind::Plain, text, QApplication::applicationDisplayName());
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool Ask(QWidget* parent, const QString& text, const QString& caption) {
  if (TestHandler()) return TestHandler()(Kind::Question, text, caption);
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

void SetHandlerForTesting(Handler handler) { TestHandler() = std::move(handler); }

}  // namespace msgbox
