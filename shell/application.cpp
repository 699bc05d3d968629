#include "application.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <exception>

#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("varnolt");
  // No display name: on X11 and Wayland Qt would append it to every window's caption.
  // The desktop entry's name, so that desktops match the windows to its icon.
  setDesktopFileName("varnolt");
  // The program speaks Chinese only, so Qt's own buttons and dialogs (是/否, 确定, the
  // file dialog) and the browser engine (its error pages, the languages it asks sites
  // for) do as well, whatever the system's locale. The engine takes the default locale
  // when it starts, which is after this.
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
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
    ShowUncaughtError(shelltext::kUnknownError);
  }
  return false;
}

void ShowUncaughtError(const char* gbkMessage) { msgbox::Show(nullptr, QtText(gbkMessage)); }
