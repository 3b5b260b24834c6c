// The questions a role-labelling driver asks on a sentence whose answers are
// known: the training samples of a role model. Every driver runs as it does
// when labelling, with the model replaced by the gold answer, so a sample
// holds exactly the features the driver builds at that point when all
// earlier answers were right.
//
// Answers (model labels):
//   multi, xue, allpair, xueext: "0" for no argument, else "1:" + role;
//   nivre: the transition oracle's action: "0" push, "1" pop, "2:" + role
//     (the stack top is an argument left of the predicate), "3:" + role (the
//     next row is an argument right of it), "4" (the next row is none),
//     "5" (the next row is the predicate).
#ifndef KORVANE_ROLES_SRL_QUESTIONS_H
#define KORVANE_ROLES_SRL_QUESTIONS_H

#include <functional>
#include <string>
#include <vector>

#include "maxent/me_model.h"
#include "roles/srl_sentence.h"

namespace roles {

enum class Driver { kMulti, kXue, kNivre, kAllPair, kXueExt };

// multi, xue, nivre, allpair, xueext. false for another name.
bool driverByName(const std::string& name, Driver& driver);
const char* driverName(Driver driver);
// allpair and xueext decide themselves which rows are predicates.
bool findsPredicates(Driver driver);

// nivre labels with finishing mode 2: the rows no action reached stay unset,
// so that every row of the sentence can be reached.
constexpr int kNivreFinishMode = 2;

// Gold roles of a sentence: the predicate rows in row order and, for each,
// one role per row (short spelling, "_" for none).
struct GoldRoles {
  std::vector<int> predicates;
  std::vector<std::vector<std::string>> roles;
};

// The oracle's action in a transition state of the predicate at row `pred`.
std::string nivreOracleAction(const std::vector<std::string>& roles, int pred, const std::vector<int>& stack,
                              int next);

// Labels one sentence (s.rows in the driver layout, predicates marked for the
// drivers that need them) with `driver` and the gold answers, handing every
// question's sample and answer to `sink`. Returns false when the column check
// fires. `reached` tells whether replaying the answers gave every predicate
// its gold roles (the nivre oracle; the other drivers always reach what they
// ask about).
bool goldQuestions(SrlModel& m, Driver driver, SrlSentence& s, const GoldRoles& gold,
                   const std::function<void(const std::string& answer, const ME_Sample& sample)>& sink,
                   bool& reached);

// Runs the driver with the model (or m.choose); one role list per labelled
// predicate: predicate rows in `predicates` and their roles (short spelling,
// "_" for none, nothing on the predicate's own row).
bool labelWithDriver(SrlModel& m, Driver driver, SrlSentence& s, std::vector<int>& predicates,
                     std::vector<std::vector<std::string>>& roles);

}  // namespace roles

#endif
