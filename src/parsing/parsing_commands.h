// korvane-kit subcommand of the dependency parser.
#ifndef KORVANE_PARSING_PARSING_COMMANDS_H
#define KORVANE_PARSING_PARSING_COMMANDS_H

// parse [-d ltr|rtl|repair] -m MODEL -t TEMPLATE INPUT OUTPUT
int kitParse(int argc, char** argv);

#endif
