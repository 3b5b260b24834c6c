// korvane-kit subcommand "srl": semantic-role labelling with a chosen driver.
#ifndef KORVANE_ROLES_ROLES_COMMANDS_H
#define KORVANE_ROLES_ROLES_COMMANDS_H

// korvane-kit srl [options] DRIVER TEMPLATE MODEL INPUT OUTPUT.
// 0 success, 1 failure, 2 misuse.
int kitSrl(int argc, char** argv);

#endif
