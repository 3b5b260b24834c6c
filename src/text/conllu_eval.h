// Scores a system's CoNLL-U file against the gold one the way the CoNLL 2018
// shared task did: the token sequences of both files are laid over the same
// characters (forms without white space, concatenated), tokens and sentences
// match when they cover the same characters, and the word-level columns are
// compared on matching tokens only, so that tokenization and sentence
// splitting errors cost the tags and trees of the words they touch.
// Multiword-token ranges are not expanded: each word row is one token.
#ifndef KORVANE_TEXT_CONLLU_EVAL_H
#define KORVANE_TEXT_CONLLU_EVAL_H

#include <string>

namespace conllu {

struct Count {
  long gold = 0;
  long system = 0;
  long correct = 0;
  double precision() const { return system ? double(correct) / system : 0; }
  double recall() const { return gold ? double(correct) / gold : 0; }
  double f1() const { return gold + system ? 2.0 * correct / (gold + system) : 0; }
};

struct Scores {
  Count tokens, sentences, upos, xpos, lemmas, uas, las;
  long alignedWords = 0;  // tokens matched between the files
};

// Reads both files and fills `scores`. False with `error` ("Error: ...") when a
// file cannot be read, holds a malformed sentence, or when the two files'
// characters differ (the message names the first place where they part).
bool evaluate(const std::string& goldPath, const std::string& systemPath, Scores& scores, std::string& error);

// The scores as a table: precision, recall, F1 and, for the word columns, the
// accuracy on aligned words.
std::string formatScores(const Scores& scores);

}  // namespace conllu

#endif
