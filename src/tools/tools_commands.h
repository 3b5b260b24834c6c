// korvane-kit subcommands of the model tools.
#ifndef KORVANE_TOOLS_TOOLS_COMMANDS_H
#define KORVANE_TOOLS_TOOLS_COMMANDS_H

// update-model OLD NEW: converts an older-format model file to version 2.
int kitUpdateModel(int argc, char** argv);

#endif
