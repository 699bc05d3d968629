#pragma once

class QDialog;
class Tfrmmain;

// The program's four windows, created at start in this order and kept until exit.
extern Tfrmmain* frmmain;
extern QDialog* frmdown;
extern QDialog* frmabout;
extern QDialog* frmquery;
