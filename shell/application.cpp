#include "application.h"

#include <QLibraryInfo>
#include <QTranslator>
#include <exception>

#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("varnolt");
  setApplicationDisplayName(QtText(shelltext::kAppTitle));
  // The program speaks Chinese only, so Qt's own buttons and dialogs (是/否, 确定, the
  // file dialog) do as well, whatever the system's locale.
  auto* qtTexts = new QTranslator(this);
  if (qtTexts->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    installTranslator(qtTexts);
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
