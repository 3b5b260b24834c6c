// From text to CoNLL-U: tokenizing and sentence splitting of raw English
// text, tags, lemmas and universal tags, dependency trees, with the shipped
// models, on a stream of input with several threads in input order.
#ifndef KORVANE_ANNOTATE_ANNOTATOR_H
#define KORVANE_ANNOTATE_ANNOTATOR_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "decoding/fast_labeling.h"
#include "roles/role_labeller.h"
#include "lemmatize/lemmatizer.h"
#include "text/conllu.h"
#include "tokenize/token_lists.h"

namespace annotate {

// What one input unit is.
enum class InputKind {
  kRaw,     // running text; see RawLines
  kTokens,  // one sentence per line, tokens separated by blanks or tabs
  kConllu,  // CoNLL-U sentences; the steps replace the columns they fill
};

// What one line of raw text is.
enum class RawLines {
  kParagraphs,  // a paragraph, cut into sentences
  kSentences,   // one sentence, tokenized only
  kWrapped,     // part of a paragraph that ends at an empty line
};

struct ModelFiles {
  std::string tokenLists, lemmas;                            // english-tokenizer.data, english-lemmatizer.data
  std::string taggerModel, taggerDict, taggerTemplate;       // template empty: the built-in English set
  std::string parserModel, parserTemplate;
  // ltr, rtl, repair, beam, beam-rtl, global or global-rtl; vote: the
  // members below parse and their trees vote (parserModel, parserTemplate
  // unused).
  std::string parserDriver = "repair";
  struct ParserMember {
    std::string model, templatePath, driver;
    double weight = 1.0;
  };
  std::vector<ParserMember> parserMembers;
  // Role labelling: a model whose driver finds the predicates itself.
  std::string roleModel, roleTemplate, rolePropbank, roleNombank, roleDriver = "allpair";
};

struct Options {
  InputKind input = InputKind::kRaw;
  RawLines lines = RawLines::kParagraphs;
  bool tag = true;
  bool parse = true;
  bool roles = false;  // needs tag and parse
  int threads = 1;
  bool progress = true;  // a progress line on stderr now and then
};

// Sentences longer than this many tokens are cut (with a warning): tagging
// and parsing cost grows with them and no treebank sentence comes close.
const size_t kMaxSentenceTokens = 500;
// Longer input lines are reported and skipped.
const size_t kMaxLineBytes = 1 << 20;

// Everything the steps need, loaded once and then only read.
class Annotator {
 public:
  Annotator();
  ~Annotator();

  // Loads what the options' steps need; false with `error` ("Error: ...").
  bool load(const ModelFiles& files, const Options& options, std::string& error);

  // Reads `in` (named `inName` in messages) to its end and writes CoNLL-U to
  // `out`. Units that cannot be processed (invalid UTF-8, NUL bytes, lines
  // over kMaxLineBytes, malformed CoNLL-U) are reported with their line as
  // "Error: ..." and skipped; the rest is written. Returns 0 when everything
  // was written, 1 when something was skipped or the input held no text, -1
  // when reading or writing failed.
  int run(std::FILE* in, const std::string& inName, std::FILE* out, const std::string& outName) const;

  // One thread's tools (used by run(); exposed for tests).
  class Worker;
  std::unique_ptr<Worker> worker(std::string& error) const;

  const tokenize::TokenLists& tokenLists() const { return lists_; }
  const lemmatize::Lemmatizer& lemmatizer() const { return lemmatizer_; }
  const Options& options() const { return options_; }

 private:
  friend class Worker;
  ModelFiles files_;
  Options options_;
  tokenize::TokenLists lists_;
  lemmatize::Lemmatizer lemmatizer_;
  std::unique_ptr<FastLabeler> labeler_;
  // The worker load() made to check the parser's files; run() uses it.
  mutable std::unique_ptr<Worker> spare_;
  // Labels in input order on the writing thread: it is not for concurrent use.
  mutable std::unique_ptr<roles::RoleLabeller> roles_;
};

// The sentences of a paragraph of raw text: FORM (the text's characters),
// MISC SpaceAfter=No, a "# text" comment. oneSentence: no splitting.
void sentencesOfText(const tokenize::TokenLists& lists, const std::string& text, bool oneSentence,
                     std::vector<conllu::Sentence>& out);
// The sentence of a line of blank-separated tokens.
void sentenceOfTokens(const std::string& line, std::vector<conllu::Sentence>& out);

}  // namespace annotate

#endif
