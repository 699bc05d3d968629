#pragma once
#include "base/path.h"

// The directory of the running executable, as the system names it, without a trailing "/".
TPath ProgramDirectory();

// Whether the program directory is the user's to write: it lies outside /usr, its
// permission bits grant this user write access and its file system is not mounted
// read-only. A build's app/ or a copied folder is; an installed package's directory is not.
bool ProgramDirectoryWritable();

// Where the files the program writes or the user edits live (savefile.ini, config.ini,
// hosts.ini): the program directory when it is writable, else the user's own
// $XDG_CONFIG_HOME/varnolt (~/.config/varnolt), created when missing. No trailing "/".
TPath SettingsDirectory();

// The user's home directory ($HOME, else the password database), and the folder of the
// user's settings ($XDG_CONFIG_HOME, else ~/.config).
TPath HomeDirectory();
TPath UserConfigDirectory();

// Lets tests and tools run as if installed elsewhere (an empty path restores the default).
void SetProgramDirectoryForTesting(const TPath& dir);
