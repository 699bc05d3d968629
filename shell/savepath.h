#pragma once
#include <string>

// Owner of the data-directory root. The main thread sets it at start and at a directory
// choice; workers read a copy taken under a lock, so a change during a run cannot tear it.
namespace savepath {

// The root from the program directory's savefile.ini, else the program directory.
std::string FromSettings();

// Reads the settings (FromSettings) and makes that the root; returns it.
std::string LoadAtStart();

std::string Get();
void Set(const std::string& root);

// Writes savefile.ini ("[savefile]", "savepath=" + root) in the program directory.
// Throws EFileError when it cannot be written.
void WriteSettings(const std::string& root);

}  // namespace savepath
