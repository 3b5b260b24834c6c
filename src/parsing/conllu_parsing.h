// CoNLL-U files for the parser commands: recognising them, turning their word
// rows into the drivers' column layout, and putting the parse back into the
// CoNLL-U sentences with everything else (comments, multiword-token ranges,
// empty nodes, other columns) as it was.
#ifndef KORVANE_PARSING_CONLLU_PARSING_H
#define KORVANE_PARSING_CONLLU_PARSING_H

#include <cstdio>
#include <string>
#include <vector>

// True when the file reads as CoNLL-U rather than the drivers' layout: it has
// a comment line, a multiword-token range or empty node, or a word row of
// exactly ten tab-separated columns whose ninth (DEPS) is not a number (the
// drivers' layout holds the head there). Only the first sentences are read.
bool looksLikeConllu(const std::string& path);

struct ConlluCounts {
  long sentences = 0;  // sentences converted or written
  long skipped = 0;    // malformed sentences left out (each reported)
};

// Writes the word rows of every sentence of a CoNLL-U file in the drivers'
// layout, tab-separated: ID FORM LEMMA UPOS XPOS FORM LEMMA XPOS HEAD DEPREL _
// (the tag columns 4 and 7, the lemma columns 2 and 6 of the parser's
// templates), an empty line after each sentence. Malformed sentences are
// reported ("Error: FILE line N: ...") and left out. False when a file cannot
// be read or written.
bool conlluToParserColumns(const std::string& inputPath, const std::string& outputPath, ConlluCounts& counts);

// Reads the CoNLL-U input again together with the drivers' output for it
// (parsedPath, rows as the drivers write them) and writes every sentence to
// out with each word's HEAD and DEPREL from the parse (the root's relation is
// "root"; lifted arcs marked in the relations are put back with decoder
// `lifting`, 2 or 3, or left as predicted with 0) and DEPS "_". Sentences the
// conversion left out are left out again. False after an "Error: ..." message.
bool mergeParseIntoConllu(const std::string& inputPath, const std::string& parsedPath, std::FILE* out,
                          const std::string& outName, int lifting, ConlluCounts& counts);

// Copies the drivers' output to out with the lifted arcs marked in its
// relations put back (decoder `lifting`, 2 or 3). False after a message.
bool decodeParsedFile(const std::string& parsedPath, std::FILE* out, const std::string& outName, int lifting);

// Reads the drivers' outputs for the same input side by side (rows with the
// head and relation in their last two columns), puts each one's marked
// lifted arcs back (decoder `lifting`, 2 or 3; 0 leaves them), and writes the
// first file's rows with the voted head and relation. False after an
// "Error: ..." message (a file that cannot be read or does not match the
// first sentence by sentence, or a failed write).
bool voteParsedFiles(const std::vector<std::string>& parsedPaths, const std::vector<double>& weights, int lifting,
                     std::FILE* out, const std::string& outName);

#endif
