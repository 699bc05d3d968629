#include "msgbox.h"

#include <QMessageBox>

#include "shell/qttext.h"
#include "shell/shelltexts.h"

namespace msgbox {
namespace {
Handler& TestHandler() {
  static Handler handler;
  return handler;
}

// Texts come from sites and file names as well: shown as they are, never as markup.
int Run(QMessageBox::Icon icon, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons,
        QWidget* parent) {
  QMessageBox box(icon, caption, text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

}  // namespace

void Show(QWidget* parent, const QString& text) {
  const QString caption = QtText(shelltext::kAppTitle);
  if (TestHandler()) {
    TestHandler()(Kind::Plain, text, caption);
    return;
  }
  Run(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
}

bool Ask(QWidget* parent, const QString& text, const QString& caption) {
  if (TestHandler()) return TestHandler()(Kind::Question, text, caption);
  return Run(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent) == QMessageBox::Yes;
}

void SetHandlerForTesting(Handler handler) { TestHandler() = std::move(handler); }

}  // namespace msgbox
