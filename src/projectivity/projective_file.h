// Projectivizing a dependency file and decoding lifted arcs.
//
// Input rows: columns 8 (1-based head, 0 = root) and 9 (relation) form the
// tree; sentences end at an empty line. Output rows: columns 0-7 each
// followed by a space, "%d %s" with the (lifted) head + 1 and the relation,
// then every column from 10 on, each preceded by a space.
#ifndef KORVANE_PROJECTIVITY_PROJECTIVE_FILE_H
#define KORVANE_PROJECTIVITY_PROJECTIVE_FILE_H

#include <cstdio>
#include <string>
#include <vector>

#include "features/token_table.h"

struct ProjectiveGenCounts {
  int lines = 0;
  int sentences = 0;          // #seq
  int nonProjective = 0;      // nonPro
  int notByGrandparent = 0;   // nonPro2: grandparent lifting did not repair it
  int leftOut = 0;            // nonPro3: neither strategy repaired it
  int malformed = 0;          // left out: a row under 10 columns or a head outside the sentence
  int markedArcs = 0;         // lifted arcs whose labels carry a marker (when marking)
  int unmarkedHeads = 0;      // original heads that could not carry the marker: lifted themselves
};

// 1 when the whole input was read and the output written; -1 when a file
// cannot be opened, read or written ("Error: ..." on stderr). counts may be null.
int ProjectiveGen(char* inputPath, char* outputPath, ProjectiveGenCounts* counts);
// With markLifted, every lifted arc is marked in its labels so that the
// decoders below can put it back: the lifted token's relation becomes
// "relation|R" and its original head's "|R", R being the original head's own
// relation. A head that is itself lifted keeps its lifted token's label
// only (counted in unmarkedHeads); its dependents then stay lifted.
int ProjectiveGen(char* inputPath, char* outputPath, ProjectiveGenCounts* counts, bool markLifted);
int ProjectiveGen(char* inputPath, char* outputPath);

// Turn labels "relation|marker" back into arcs: the dependent's head becomes
// the last other token whose label equals the marker (decoder 2: among those
// sharing its head at that moment), and its label becomes the relation.
// Both return -1.
int pseudoProjectiveHeadDecoder3(std::vector<_dppair>& tree);
int pseudoProjectiveHeadDecoder2(std::vector<int>& heads, std::vector<std::string>& labels);

// Rewrites a projectivized file whose lifted arcs are marked, keeping the
// markers whose marked relations occur at least minCount times in it and
// taking the others off both the lifted token and its head. 1, or -1 when a
// file cannot be opened, read or written.
int keepFrequentMarkers(char* inputPath, char* outputPath, int minCount);

// Puts marked lifted arcs back (the marking of ProjectiveGen), with decoder
// 2 or 3 (encoding) finding each lifted token's head. A decoder finds only a
// head marked after the lifted token (it cuts every label as it reaches it),
// so it is run over the sentence in both reading directions: a head found
// after the token is taken first, one found before it second. Only tokens
// with a relation before their '|' move; labels are cut to their relation,
// and head markers "|R" get their relation R back. Returns the number of
// lifted tokens that found a head.
int decodeMarkedArcs(std::vector<_dppair>& tree, int encoding);

// Rewrites a dependency file with its marked lifted arcs put back
// (decodeMarkedArcs with the given encoding) in the output layout above. Sentences with a row under 10
// columns are left out with a message. 1 on success, -1 when a file cannot be
// opened, read or written or encoding is neither 2 nor 3. counts may be null.
struct DeprojectivizeCounts {
  int lines = 0;
  int sentences = 0;
  int decodedLabels = 0;  // labels that held a '|'
  int malformed = 0;
};
int deprojectivizeFile(char* inputPath, char* outputPath, int encoding, DeprojectivizeCounts* counts);

// Writes one row in the output layout above with the given head and relation.
void writeProjectiveRow(std::FILE* out, const std::vector<std::string>& row, int head, const std::string& relation);

#endif
