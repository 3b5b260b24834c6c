// The two template sets built into the tagger.
#ifndef KORVANE_TEMPLATES_BUILTIN_TEMPLATES_H
#define KORVANE_TEMPLATES_BUILTIN_TEMPLATES_H

#include <vector>

#include "templates/template_types.h"

int getTemplateChinesePoS(std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder);
int getTemplateEnglishPoS(std::vector<_ftnind>& templates, std::vector<int>& templateOrder, int& labelOrder);

// Indices grouped by minLabelOffset 0, -1, ..., -labelOrder (shared by every builder).
void buildTemplateOrder(const std::vector<_ftnind>& templates, int labelOrder, std::vector<int>& templateOrder);

// Shared by every builder: sets t.minLabelOffset from t's label items, raises
// labelOrder to their largest absolute non-zero offset, renames "B" to "B1".
void finishTemplate(_ftnind& t, int& labelOrder);

#endif
