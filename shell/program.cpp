#include "program.h"

#include <cstdio>
#include <cstdlib>

#include "shell/frmdown.h"
#include "shell/frmquery.h"
#include "shell/frmwatch.h"
#include "shell/about.h"
#include "shell/application.h"
#include "shell/forms.h"
#include "shell/glyphs.h"
#include "shell/mainwindow.h"

void CreateWindows() {
  frmmain = new Tfrmmain();
  frmdown = new Tfrmdown();
  frmabout = new Tfrmabout();
  frmquery = new Tfrmquery();
  frmwatch = new Tfrmwatch();
}

void RunVarnolt(int argc, char** argv, const std::function<void()>& afterStart) {
  TApplication app(argc, argv);
  app.setWindowIcon(glyphs::ApplicationIcon());
  CreateWindows();
  frmmain->show();
  if (afterStart) afterStart();
  int rc = app.exec();
  // The browser goes first so the engine shuts its page down in order; the dialogs stay,
  // since a worker may still hold their controls. Then the process ends without
  // unwinding: a worker still blocked in a request or in a hand-over to the main thread
  // must neither keep the process alive nor meet destroyed objects.
  delete frmmain;
  frmmain = nullptr;
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(rc);
}
