#pragma once
#include <QDialog>

// The download dialog.
class Tfrmdown : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmdown(QWidget* parent = nullptr);
};
