#include "features/relation_functions.h"

#include <cstdio>

// Not yet available: loud, and out is left as the caller had it.
void relationFunction(FeatureCallContext&, const _ftnind& tmpl, const std::vector<int>&,
                      const std::vector<std::string>&, std::string&) {
  std::fprintf(stderr, "Error: relation %s is not available yet.\n", tmpl.relation.c_str());
}
