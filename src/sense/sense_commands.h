// korvane-kit subcommand "sense" and the dictionary loading it shares with
// the role-labelling command.
#ifndef KORVANE_SENSE_SENSE_COMMANDS_H
#define KORVANE_SENSE_SENSE_COMMANDS_H

#include <string>

// Loads the verbal (propbank-style) and nominal (nombank-style) predicate
// dictionaries and the plain dictionary; an empty name or "NULL" empties the
// dictionary instead. 1, or -1 with an "Error: ..." message naming the first
// file that cannot be opened (nothing is loaded then).
int loadSenseDictionaries(const std::string& propbank, const std::string& nombank, const std::string& dict);

// korvane-kit sense [options] INPUT OUTPUT. 0 success, 1 failure, 2 misuse.
int kitSense(int argc, char** argv);

#endif
