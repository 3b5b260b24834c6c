// Navigation steps and the tree / predicate-argument value functions of an
// item (codes 24-28 and 100, 102-131, 133-145). Internal to the feature library.
#ifndef KORVANE_FEATURES_TREE_FUNCTIONS_H
#define KORVANE_FEATURES_TREE_FUNCTIONS_H

#include <string>

#include "features/feature_context.h"
#include "templates/template_types.h"

// True for the codes treeValueFunction computes.
bool isTreeValueCode(int code);

// Applies one navigation step to node. Returns false, leaving node as it was,
// when the code is not a moving step (24-28): that ends the item's chain.
// A step may set outOfRange (node -1), which also ends the chain.
bool applyNavigationStep(FeatureCallContext& c, const _subft& step, int& node, bool& outOfRange);

// Item value of a tree or predicate-argument function; start is the item's
// start token, node the navigation result. value is replaced.
void treeValueFunction(FeatureCallContext& c, const _ft& item, int start, int node, std::string& value);

#endif
