#pragma once
#include <QFileDialog>
#include <QString>

// The directory chooser of "设置下载目录". It lets the user type the name of a directory
// that does not exist yet and offers to create it (with its parents) on confirmation;
// No keeps the chooser open.
class TDirectoryChooser : public QFileDialog {
 public:
  TDirectoryChooser(QWidget* parent, const QString& startDir);

  // The chosen directory after exec() returned Accepted.
  QString Chosen() const { return chosen_; }

  void accept() override;

 private:
  QString chosen_;
};
