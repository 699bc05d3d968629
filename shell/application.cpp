#include "application.h"

#include <exception>

#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("varnolt");
  setApplicationDisplayName(QtText(shelltext::kAppTitle));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowUncaughtError(e.what());
  } catch (...) {
    ShowUncaughtError("Unknown error");
  }
  return false;
}

void ShowUncaughtError(const char* gbkMessage) { msgbox::Show(nullptr, QtText(gbkMessage)); }
