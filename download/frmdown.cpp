#include "download/frmdown.h"

Tfrmdown::Tfrmdown(QWidget* parent) : QDialog(parent) {
  setObjectName("frmdown");
  setWindowTitle(QString::fromUtf8("下载文档"));
}
