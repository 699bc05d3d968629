#include "shell/forms.h"

Tfrmmain* frmmain = nullptr;
QDialog* frmdown = nullptr;
QDialog* frmabout = nullptr;
QDialog* frmquery = nullptr;
