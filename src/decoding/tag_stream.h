// Tagging with the tagger's model, dictionary and templates outside its own
// run: loading the parts once, tagging a stream of lines with several
// threads in input order, and scoring a gold file.
#ifndef KORVANE_DECODING_TAG_STREAM_H
#define KORVANE_DECODING_TAG_STREAM_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decoding/fast_labeling.h"
#include "labels/mini_string_bag.h"
#include "maxent/me_model.h"
#include "templates/template_types.h"

// The files of a tagging model. templatePath empty: the language's built-in set.
struct TaggerFiles {
  std::string model, dict, templatePath;
  bool english = true;
};

// Everything tagging needs, loaded once.
struct LoadedTagger {
  ME_Model model;
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> wordTagBags, legal;
  std::vector<std::string> tagList;  // the model's labels in id order
  std::vector<_ftnind> templates;
  std::vector<int> templateOrder;
  int labelOrder = 0;
  std::unique_ptr<FastLabeler> fast;  // check fast->supported()
  bool english = true;
};

// Loads model, dictionary and templates and builds the fast labeller. False
// after an "Error: ..." naming the file that is missing, does not load, or
// (templates) cannot be decoded.
bool loadTagger(const TaggerFiles& files, LoadedTagger& tagger);

// Labels one sequence the way the tagger does: the fast path where it
// applies, else labelSeqIt.
void labelSequence(LoadedTagger& tagger, TokenTable& sequence, std::vector<std::string>& tags);

struct TaggerScores {
  long tokens = 0, correct = 0, known = 0, knownCorrect = 0;
  double tagSeconds = 0;  // in labelling alone
};

// Tags every sentence of a gold file (one token per line, the word first and
// the gold tag last, an empty line after each sentence) the way the tagger
// tags a line (English whole, Chinese cut after the cut marks; CR LF line
// ends and a leading byte-order mark are dropped) and counts
// the tags that match, split by words known to the dictionary. False after an
// "Error: ..." when the file cannot be read.
// progress, when set, is called after every sentence with the tokens so far.
bool scoreTagger(LoadedTagger& tagger, const std::string& goldPath, TaggerScores& scores,
                 const std::function<void(long)>& progress = nullptr);

// Reads `in` to its end (a line may end in CR LF, and the first may start with
// a UTF-8 byte-order mark: both are dropped), tags every line with a
// copy of `labeler` per thread and writes the lines in order to `out`.
// english: whole lines are sequences; otherwise lines are cut after the cut
// marks as the tagger cuts them. At most a few batches of lines per thread
// are held at a time. Returns the number of lines, or -1 when reading or
// writing failed (message on stderr naming inName or outName).
// utf8 with a Chinese model: lines are UTF-8, converted to the model's GBK
// and the output back to UTF-8; a line that is not UTF-8 or holds a
// character GBK cannot hold gives an empty output line and an "Error: INPUT
// line N: ..." message, and is counted in *skipped. progress, when set, is
// called now and then with the lines written so far.
long tagStream(std::FILE* in, const char* inName, std::FILE* out, const FastLabeler& labeler, bool english,
               int threads, const char* outName = "standard output", bool utf8 = false, long* skipped = nullptr,
               const std::function<void(long)>& progress = nullptr);

// The tagger's own run over a stream: like tagStream without the UTF-8
// mode, but the lines' "word/tag " pairs follow one another with no line
// feed, and afterLine(n) is called on the writing thread, in input order,
// once the output of line n has been written, for every line that is not
// empty (zero bytes). Returns the number of lines read; readFailed and
// writeFailed tell whether all of the input was read and all output written
// (nothing is printed).
long tagStreamJoined(std::FILE* in, std::FILE* out, const FastLabeler& labeler, bool english, int threads,
                     const std::function<void(long)>& afterLine, bool& readFailed, bool& writeFailed);

// One input line's output line (without its line feed) into `out`.
void tagOneLine(FastLabeler& labeler, bool english, std::string& line, std::string& out);

#endif
