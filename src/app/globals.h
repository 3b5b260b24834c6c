// Program-wide globals, constructed before main and destroyed at exit.
#ifndef KORVANE_APP_GLOBALS_H
#define KORVANE_APP_GLOBALS_H

#include <map>
#include <string>
#include <vector>

#include "features/bank_types.h"

extern int _lang;                 // 36 English, anything else Chinese
extern bool _trainFlag;           // read by the parsing and role-labelling operations
extern int globalCounter;         // unused
extern std::string _trivial_srl;  // empty-column marker of the role labellers
extern std::map<std::string, std::string> _dic;
extern std::map<std::string, std::vector<_bankSense>> _dicProp;
extern std::map<std::string, std::vector<_bankSense>> _dicNom;

#endif
