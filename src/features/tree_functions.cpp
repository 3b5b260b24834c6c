#include "features/tree_functions.h"

#include <cstdio>

bool isTreeValueCode(int code) { return code == 100 || (code >= 102 && code <= 145 && code != 132); }

// Not yet available: loud, so that no template silently gets a wrong value.
bool applyNavigationStep(FeatureCallContext&, const _subft& step, int&, bool& outOfRange) {
  if (step.code < 24 || step.code > 28) return false;
  std::fprintf(stderr, "Error: navigation step %d is not available yet.\n", step.code);
  outOfRange = true;
  return false;
}

void treeValueFunction(FeatureCallContext&, const _ft& item, int, int, std::string& value) {
  std::fprintf(stderr, "Error: value function %d is not available yet.\n", item.valueFunction);
  value = "_";
}
