// korvane-kit subcommands of the projectivity transforms.
#ifndef KORVANE_PROJECTIVITY_PROJECTIVITY_COMMANDS_H
#define KORVANE_PROJECTIVITY_PROJECTIVITY_COMMANDS_H

// projectivize INPUT OUTPUT
int kitProjectivize(int argc, char** argv);
// deprojectivize [-e 2|3] INPUT OUTPUT
int kitDeprojectivize(int argc, char** argv);

#endif
