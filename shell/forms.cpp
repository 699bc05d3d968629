#include "shell/forms.h"

#include <QDialog>

#include "shell/mainwindow.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/shelltexts.h"

Tfrmmain* frmmain = nullptr;
QDialog* frmdown = nullptr;
QDialog* frmabout = nullptr;
QDialog* frmquery = nullptr;
QDialog* frmwatch = nullptr;

bool AskToShowReport(QDialog* dialog, const TPath& reportPath) {
  QWidget* owner = dialog->isVisible() || !frmmain ? static_cast<QWidget*>(dialog) : frmmain;
  if (!msgbox::Ask(owner, QtText(shelltext::kViewResultsQuestion), QtText(shelltext::kConfirmCaption))) {
    msgbox::Show(owner, QtText(shelltext::kRecordsSaved));
    return false;
  }
  if (frmmain) {
    frmmain->webb->Navigate(QtPath(reportPath));
    frmmain->setWindowState((frmmain->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
  }
  dialog->close();
  return true;
}
