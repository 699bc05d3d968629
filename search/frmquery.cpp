#include "search/frmquery.h"

Tfrmquery::Tfrmquery(QWidget* parent) : QDialog(parent) {
  setObjectName("frmquery");
  setWindowTitle(QString::fromUtf8("检索专利"));
}
