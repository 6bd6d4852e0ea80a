// Entry point of the command line: korvane on Linux, korvane-cli.exe on Windows.
#include "cli/commands.h"

int main(int argc, char** argv) { return korvane::KorvaneMain(argc, argv); }
