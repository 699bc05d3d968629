#pragma once
#include "base/path.h"

class QDialog;
class Tfrmmain;

// The program's windows, created at start in this order and kept until exit.
extern Tfrmmain* frmmain;
extern QDialog* frmdown;
extern QDialog* frmabout;
extern QDialog* frmquery;
extern QDialog* frmwatch;

// The question at the normal end of a search or download run, asked by the dialog's result
// button: Yes shows the report in the main window's browser, maximises the main
// window and closes the dialog; No says where the records are kept. A dialog the user has
// closed meanwhile leaves the question to the main window. True on Yes.
bool AskToShowReport(QDialog* dialog, const TPath& reportPath);
