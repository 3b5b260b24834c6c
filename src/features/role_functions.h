// Value functions for role labelling (codes 280-299): how an item's row
// stands to the current predicate in the syntactic tree (the second arc
// list, extraArcs). Internal to the feature library.
//
//   280 predpath      relations on the tree path from the row to the predicate:
//                     "rel<" for every step up from the row, then "rel>" for
//                     every step down to the predicate; "=" on the predicate
//                     itself, "-" when the two share no ancestor
//   281 predpathpos   the same path as column `column` of the rows on it,
//                     joined by "<" on the way up and ">" on the way down
//   282 predrelation  self, child, grandchild, descendant, parent, ancestor,
//                     sibling, other (the row's head is an ancestor of the
//                     predicate but not its head), or "-" (no shared ancestor)
//   283 predpathlen   "u" + steps up + "d" + steps down, e.g. u1d0; "-" as above
//   284 predvoice     of the predicate, whatever the row: "passive" for a tag
//                     (column 7) VBN with a dependent whose relation holds
//                     "pass" or whose lemma (column 6) is "be" or "get";
//                     "active" for other tags beginning with V; "-" otherwise
//   285 preddistance  row minus predicate row: the number itself from -5 to 5,
//                     "-far"/"+far" up to 10 away, "-vfar"/"+vfar" beyond
//   286 predframe     relations of the predicate's dependents in row order
//                     with "V" standing for the predicate: "|nsubj|V|obj"
//   287 casemarker    column `column` of the row's first dependent whose
//                     relation is "case" or "mark" (subtypes included); "-"
//                     when there is none
//
// Rows outside the sentence, and calls without a current predicate, give "_".
// Head chains stop at a repeated row, so cyclic trees cannot loop.
#ifndef KORVANE_FEATURES_ROLE_FUNCTIONS_H
#define KORVANE_FEATURES_ROLE_FUNCTIONS_H

#include <string>

#include "features/feature_context.h"
#include "templates/template_types.h"

bool isRoleFunctionCode(int code);

// Item value of a role function at `row` (node + offset); value is replaced.
void roleFunctionValue(const FeatureCallContext& c, const _ft& item, int row, std::string& value);

#endif
