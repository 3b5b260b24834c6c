// Role-labelling drivers: label the semantic roles of the predicates of a
// column file with a maximum-entropy model and a template file.
//
// Input: sentences of token rows separated by empty lines; column 8 the
// syntactic head (1-based, 0 = root), 9 its relation, 10 the predicate marker
// ("_" = none), then two columns per predicate. Output: every row's columns
// joined by single blanks, then "  head+1 role" per predicate, a line feed;
// an empty line after each sentence. Model label "0" means "no argument";
// other labels carry the role from their third character on.
//
// Every driver returns 1 after the whole input, -1 when a file cannot be
// opened or the model or template file is unusable (with an "Error: ..."
// message). Rows with fewer columns than the layout read their missing cells
// as "_" (with a warning).
#ifndef KORVANE_ROLES_SRL_DRIVERS_H
#define KORVANE_ROLES_SRL_DRIVERS_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "roles/srl_sentence.h"
#include "templates/template_types.h"

// Asks about every row for every marked predicate; heads are not set, so
// every pair is written with head value -1023.
int ME_TestSRLMulti(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int);

// Asks only about the rows met walking from the predicate up its syntactic
// head chain: each row of the chain and its dependents. The walk stops at the
// root, at a head outside the sentence, or at a row met before (a cycle).
int ME_TestSRLMultiXue(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int);

// Asks only about the rows the input already marks as arguments (the last
// 2 x P columns, P = number of predicates, counted with row 0's width) and
// uses the chosen label whole as the role.
int ME_TestSRLMultiClass(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int);

// Every noun (NN, NNS) or verb (tag beginning with V) is a candidate
// predicate; the rows that receive an argument are the found predicates. Each
// row is written with " __" or " " + its lemma (column 6), then one pair per
// found predicate: head value row+1 for its arguments, -1 for the rest.
int ME_TestSRLMultiAllPair(char* templatePath, char* modelPath, char* inputPath, char* outputPath);

// As ME_TestSRLMultiAllPair, asking only about the rows met on the syntactic
// way up from each candidate; candidateMode 1 limits the candidates to nouns
// and verbs, any other value takes every row.
int ME_TestSRLMultiXueExt(char* templatePath, char* modelPath, char* inputPath, char* outputPath, int candidateMode);

// One sentence as the drivers label it, s.rows holding the driver layout:
// the tree and the predicates are read from the rows, then every predicate's
// role list is appended to s.argumentLists (candidate rows' lists for the
// all-pair and extended drivers, whose s.predicateRows are all rows). false
// when the feature column check fires.
bool srlLabelMulti(SrlModel& m, SrlSentence& s);
bool srlLabelXue(SrlModel& m, SrlSentence& s);
bool srlLabelAllPair(SrlModel& m, SrlSentence& s);
bool srlLabelXueExt(SrlModel& m, SrlSentence& s, int candidateMode);

// Rows whose list in s.argumentLists holds a role, in row order: the
// predicates the all-pair and extended drivers found.
std::vector<int> srlFoundPredicates(const SrlSentence& s);

// Fills sample.feature_strs with "name:value" for every template whose name
// begins with "U" (templates in templateOrder). -1 when _trainFlag is set and
// a template item addresses the last column of row 0 or beyond. The text and
// model arguments are not read.
int AddFullFeatures(std::string& text, ME_Sample& sample, ME_Model& model, std::vector<_ftnind>& templates,
                    std::vector<int>& templateOrder, TokenTable& rows, std::vector<int>& stack, int& position,
                    std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                    std::vector<int>& predicateRows, std::vector<_dppair>& extraArcs);

#endif
