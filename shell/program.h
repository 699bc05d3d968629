#pragma once
#include <functional>

// Creates the windows in their order: frmmain, frmdown, frmabout, frmquery, frmwatch.
void CreateWindows();

// The whole program: application, title, the four windows, the message loop. When the
// main window closes, the process ends at once with the loop's result, whatever workers
// still run (they are killed with the process rather than outliving the windows they
// hand over to). afterStart runs once the main window shows (tests close it from there).
[[noreturn]] void RunVarnolt(int argc, char** argv, const std::function<void()>& afterStart = {});
