// Reading the rows of a treebank for the tokenizer's and the lemmatizer's
// learning: CoNLL-U, or the ten-column dependency layout whose first five
// columns are the same (id, form, lemma, universal tag, treebank tag).
#ifndef KORVANE_ANNOTATE_TREEBANK_H
#define KORVANE_ANNOTATE_TREEBANK_H

#include <string>
#include <vector>

#include "lemmatize/lemmatizer.h"

namespace annotate {

// Sentences in file order; comment lines, multiword ranges and empty nodes
// are skipped. False with `error` ("Error: FILE line N: ...") when the file
// cannot be read or a row has fewer than five columns.
bool readTreebank(const std::string& path, std::vector<std::vector<lemmatize::Example>>& sentences,
                  std::string& error);

}  // namespace annotate

#endif
