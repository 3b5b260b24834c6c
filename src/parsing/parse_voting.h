// Parser ensembles: several parses of the same sentences combined by
// weighted votes on their arcs. Parsers that read in different directions or
// were trained differently make different mistakes; the tree most of them
// agree on is better than any one of them.
#ifndef KORVANE_PARSING_PARSE_VOTING_H
#define KORVANE_PARSING_PARSE_VOTING_H

#include <string>
#include <vector>

#include "features/token_table.h"

// Heads of the maximum spanning tree of a dense graph: node 0 is the root,
// score[h][d] the score of the arc h -> d. Every node but the root gets a head
// (result[0] is -1); the tree may be non-projective (Chu-Liu/Edmonds).
std::vector<int> maximumSpanningTree(const std::vector<std::vector<double>>& score);

// One sentence's parses combined: each parse (heads as 0-based rows, -1 for
// the root) votes with its weight for each of its arcs; the tree with the most
// votes wins, and every word takes the relation with the most votes among the
// parses that gave it that head (among equal votes the earlier parse's). All
// parses must have the same length.
std::vector<_dppair> voteTree(const std::vector<std::vector<_dppair>>& parses, const std::vector<double>& weights);

struct ParserEnsembleMember {
  std::string model;   // path, relative paths joined to the ensemble file's folder
  std::string driver;  // a driver name (parsingDriverByName)
  double weight = 1.0;
};

// Reads an ensemble file: one member per line, "MODEL DRIVER WEIGHT"
// separated by blanks; empty lines and lines starting with '#' are skipped.
// False after "Error: FILE line N: ..." (an unknown driver, a weight that is
// not a positive number, a line of other shape) or when it names no member.
bool readParserEnsemble(const std::string& path, std::vector<ParserEnsembleMember>& members);

#endif
