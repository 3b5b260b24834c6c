#include "app/globals.h"

int _lang = 37;
bool _trainFlag = true;
int globalCounter = 0;
std::string _trivial_srl = "_";
std::map<std::string, std::string> _dic;
std::map<std::string, std::vector<_bankSense>> _dicProp;
std::map<std::string, std::vector<_bankSense>> _dicNom;
