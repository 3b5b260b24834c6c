// korvane-kit: one subcommand per offline operation of the toolkit.
#include <cstdio>
#include <cstring>

#include "app/commands/commands.h"

int main(int argc, char** argv) { return kitMain(argc, argv); }
