#pragma once
#include <QDialog>

// The search dialog.
class Tfrmquery : public QDialog {
  Q_OBJECT
 public:
  explicit Tfrmquery(QWidget* parent = nullptr);
};
