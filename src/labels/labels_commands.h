// korvane-kit subcommands that write the label inventory files.
// Exit status: 0 success, 1 failure (message on stderr), 2 misuse (usage on stderr).
#ifndef KORVANE_LABELS_LABELS_COMMANDS_H
#define KORVANE_LABELS_LABELS_COMMANDS_H

// build-dict TRAIN DICT [--column N]
int kitBuildDict(int argc, char** argv);
// build-legal TRAIN OUT
int kitBuildLegal(int argc, char** argv);

#endif
