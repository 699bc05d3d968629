#include "shell/program.h"

int main(int argc, char** argv) { RunVarnolt(argc, argv); }
