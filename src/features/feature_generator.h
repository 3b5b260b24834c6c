// Turns one template at one focus position of a sentence into a value string.
#ifndef KORVANE_FEATURES_FEATURE_GENERATOR_H
#define KORVANE_FEATURES_FEATURE_GENERATOR_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "templates/template_types.h"

// tmpl is not const: a valueFunction of 0 over an empty arc list is reset to -1 in place.
int FeatureLocGenP2Multi(TokenTable& rows, _ftnind& tmpl, std::vector<int>& stack, int position,
                         std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                         std::vector<int>& predicateRows, std::vector<_dppair>& extraArcs, std::string& out);

// True for the value codes whose value at a row inside the sentence depends
// only on that row's cell (and, for capitalisation by place, on whether the
// row is the first): the plain text, the word-shape and the spelling and
// lexicon functions.
bool isWordValueCode(int code);

void beyondStringGen(int n, int row, char* buf);
void line2hanzi(std::string& s, std::vector<std::string>& chars);
int discreteLog3(double x, char* mode);

#endif
