// Whole-file work on CoNLL-U files with role annotation: predicate
// dictionaries from annotated sentences, and scoring labelled sentences
// against gold ones.
#ifndef KORVANE_ROLES_ROLE_TASKS_H
#define KORVANE_ROLES_ROLE_TASKS_H

#include <functional>
#include <string>

#include "roles/role_columns.h"
#include "text/conllu.h"

namespace roles {

// Calls fn for every sentence of a CoNLL-U file with its role annotation;
// messages name the file `name` (path when empty). Stops with false and an
// "Error: ..." in error at the first malformed sentence, unreadable input,
// or when fn returns false (fn sets error).
bool forEachAnnotated(const std::string& path, const std::string& name,
                      const std::function<bool(conllu::Sentence&, RoleAnnotation&, std::string& error)>& fn,
                      std::string& error);

// Every predicate's column 11 must be a roleset with a sense number
// (lemma.NN); false with "Error: FILE line N: ..." in error otherwise.
bool checkRolesets(const conllu::Sentence& s, const RoleAnnotation& a, const std::string& file, std::string& error);

struct BankCounts {
  long sentences = 0;
  long predicates = 0;
  long verbalLemmas = 0;
  long nominalLemmas = 0;
};

// Both predicate dictionaries from the senses and roles of an annotated
// file: predicates whose XPOS begins with V go to the verbal one. A roleset
// without a sense number is an error naming its line.
bool buildSenseBanks(const std::string& path, const std::string& name, std::string& propbank, std::string& nombank, BankCounts& counts,
                     std::string& error);

struct RoleScores {
  long sentences = 0;
  long goldArguments = 0, foundArguments = 0;
  long labelledCorrect = 0, unlabelledCorrect = 0;
  long goldPredicates = 0, foundPredicates = 0, predicatesCorrect = 0;
  long sensesScored = 0, sensesCorrect = 0;  // over gold predicates that were labelled

  void add(const RoleAnnotation& gold, const RoleAnnotation& found);
  void add(const RoleScores& other);
};

// Precision, recall and F1 of `correct` against `found` and `gold` counts
// (0 where a count is 0).
struct Prf {
  double precision, recall, f1;
};
Prf prf(long correct, long found, long gold);

}  // namespace roles

#endif
