// The dependency parser's own navigation steps and value functions (codes
// 240-279, templates/parser_step_codes.h). Internal to the feature library.
#ifndef KORVANE_FEATURES_PARSER_FUNCTIONS_H
#define KORVANE_FEATURES_PARSER_FUNCTIONS_H

#include <string>

#include "features/feature_context.h"
#include "templates/template_types.h"

// Moves node for a step of 240-242. A node outside the sentence, or one that
// has no such head or child, sets outOfRange (node -1). Always true.
bool applyParserStep(FeatureCallContext& c, const _subft& step, int& node, bool& outOfRange);

// Item value of a function of 243-279 at node; value is replaced.
void parserValueFunction(FeatureCallContext& c, const _ft& item, int node, std::string& value);

#endif
