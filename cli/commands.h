#pragma once
// The commands of varnolt-cli; each gets the arguments after its name and returns
// the process exit code.
int RunSearchCommand(int argc, char** argv);
int RunDownloadCommand(int argc, char** argv);
int RunLibraryCommand(int argc, char** argv);
int RunWatchCommand(int argc, char** argv);
