#include "dirchooser.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include <cerrno>

#include "base/files.h"
#include "base/syserror.h"
#include "shell/msgbox.h"
#include "shell/qttext.h"
#include "shell/widgets.h"

TDirectoryChooser::TDirectoryChooser(QWidget* parent, const QString& startDir) : QFileDialog(parent) {
  setObjectName("dirchooser");
  // Qt's own dialog, so accept() below is the one that runs.
  MakeProgramFileDialog(this);
  setOption(QFileDialog::ShowDirsOnly);
  setFileMode(QFileDialog::Directory);
  setAcceptMode(QFileDialog::AcceptOpen);
  setDirectory(startDir);
}

void TDirectoryChooser::accept() {
  // A typed name counts relative to the folder shown.
  QString typed;
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) typed = edit->text().trimmed();
  QString path;
  if (!typed.isEmpty()) {
    path = QDir::isAbsolutePath(typed) ? typed : directory().absoluteFilePath(typed);
  } else {
    QStringList files = selectedFiles();
    path = files.isEmpty() ? directory().absolutePath() : files.first();
  }
  path = QDir::cleanPath(path);
  if (!QFileInfo(path).isDir()) {
    if (QFileInfo::exists(path)) return;  // a file of that name: nothing to choose
    // The chooser's own question stays in English, as the system's chooser asked it.
    if (!msgbox::Ask(this, "The specified directory does not exist. Create it?", windowTitle())) return;
    if (!ForceDirectories(PathFromQt(path))) {
      msgbox::Show(this, QtText(FileErrorMessage(basetext::kCannotCreateDir, PathFromQt(path), errno)));
      return;
    }
  }
  chosen_ = path;
  QDialog::accept();
}
