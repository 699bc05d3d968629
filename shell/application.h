#pragma once
#include <QApplication>

// The application object. An error that no handler catches ends up here and is shown
// in a message box with its text; the program goes on.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The general error display: a plain message box with the error's text (GBK).
void ShowUncaughtError(const char* gbkMessage);
