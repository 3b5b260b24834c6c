// Role annotation of CoNLL-U sentences and their conversion to the column
// layout the role-labelling drivers read.
//
// CoNLL-U side: column 11 holds the predicate's roleset (any text other than
// "_" or empty marks a predicate), then, unless the rows end there, one
// column per predicate in row order: "V" on the predicate itself, the role on each argument's head word,
// "_" elsewhere. A sentence without predicates may end its rows with one
// empty column after column 11.
//
// Inside, roles are spelled as the recommendation features and the sense
// patterns expect: ARGn -> An, ARGM-X -> AM-X, R- and C- prefixes kept; "V"
// and empty cells read as no role ("_").
#ifndef KORVANE_ROLES_ROLE_COLUMNS_H
#define KORVANE_ROLES_ROLE_COLUMNS_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "text/conllu.h"

namespace roles {

// Columns of the driver layout: 0 id, 1 form, 2 lemma, 3 UPOS, 4 XPOS,
// 5 form, 6 lemma, 7 XPOS, 8 head (1-based, 0 = root), 9 relation,
// 10 predicate marker.
constexpr size_t kDriverColumns = 11;
constexpr size_t kSenseColumn = conllu::kColumns;  // 0-based index of column 11

std::string shortRole(const std::string& role);
std::string longRole(const std::string& role);

struct RoleAnnotation {
  std::vector<int> predicates;                  // word indexes, in row order
  std::vector<std::string> senses;              // column 11 of each predicate
  std::vector<std::vector<std::string>> roles;  // [predicate][word], short spelling, "_" for none
  bool hasSenseColumn = false;                  // the rows have more than ten columns
  bool longSpelling = false;                    // some role is written ARG...
};

// Reads columns 11 and after. Rows may end at column 11 (predicates marked,
// no roles given); otherwise every row needs one role column per predicate.
// false with "Error: FILE line N: ..." in error when a row's role columns do
// not match the number of predicates or rows disagree on having column 11.
bool readRoleColumns(const conllu::Sentence& s, const std::string& file, RoleAnnotation& out, std::string& error);

// The roleset's sense: the text after its last '.', which must be digits or
// capital letters (come.03, make.LV), after a lemma without blanks, commas or
// colons. false for anything else.
bool rolesetSense(const std::string& roleset, std::string& lemma, std::string& sense);

// Driver rows of the sentence; the marker column holds the predicate's lemma
// (its form when the lemma is "_" or empty) on the rows of `predicates`, "_"
// elsewhere.
void driverRows(const conllu::Sentence& s, const std::vector<int>& predicates, TokenTable& rows);

// Rows for sense determination: the driver rows, a marker column (11:
// "__" on rows that are no predicate) and one pair of columns per predicate,
// the second holding the row's role.
constexpr int kSenseMarkerColumn = static_cast<int>(kDriverColumns);
void senseRows(const TokenTable& driver, const std::vector<int>& predicates,
               const std::vector<std::vector<std::string>>& roles, TokenTable& out);

// Replaces columns 11 and after by the senses and one role column per
// predicate ("V" on the predicate, long spelling when asked). Without
// predicates the rows end with column 11 as "_".
void writeRoleColumns(conllu::Sentence& s, const std::vector<int>& predicates, const std::vector<std::string>& senses,
                      const std::vector<std::vector<std::string>>& roles, bool longSpelling);

}  // namespace roles

#endif
