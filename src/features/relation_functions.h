// Relation functions between the items of a template (families a, b and c),
// computed at the end of FeatureLocGenP2Multi when a template names one.
#ifndef KORVANE_FEATURES_RELATION_FUNCTIONS_H
#define KORVANE_FEATURES_RELATION_FUNCTIONS_H

#include <string>
#include <vector>

#include "features/feature_context.h"
#include "templates/template_types.h"

// Decides out from the template's relation text; itemRows / itemValues hold
// the reached row and the value of every non-label item in item order.
// An unknown function name is reported on stderr and leaves out unchanged.
void relationFunction(FeatureCallContext& c, const _ftnind& tmpl, const std::vector<int>& itemRows,
                      const std::vector<std::string>& itemValues, std::string& out);

// The path entries of family c over two row lists compared from their last
// elements (the shared tail, then each list's own part). False when name is
// not a path entry. The generator passes two empty lists.
bool pathRelationValue(FeatureCallContext& c, const std::string& name, int r0, int r1,
                       const std::vector<int>& pathA, const std::vector<int>& pathB, std::string& out);

#endif
