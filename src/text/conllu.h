// CoNLL-U sentences: comment lines, word rows of at least ten tab-separated
// columns (more are kept: role labelling adds a sense column and one column per
// predicate), and the multiword-token ranges ("3-4") and empty nodes ("5.1")
// that the analyses skip but a writer must put back where they stood.
#ifndef KORVANE_TEXT_CONLLU_H
#define KORVANE_TEXT_CONLLU_H

#include <cstdio>
#include <string>
#include <vector>

namespace conllu {

enum Column { kId = 0, kForm, kLemma, kUpos, kXpos, kFeats, kHead, kDeprel, kDeps, kMisc, kColumns };

struct Word {
  std::vector<std::string> cols;  // kColumns or more
  long line = 0;                  // 1-based line of the input, 0 when built in memory
};

struct Sentence {
  std::vector<std::string> comments;  // whole lines, '#' included
  std::vector<Word> words;            // IDs 1..n in order
  // Range and empty-node lines, each with the number of words before it.
  std::vector<std::pair<size_t, std::string>> extras;
  long firstLine = 0;

  bool empty() const { return words.empty() && comments.empty() && extras.empty(); }
  // HEAD of word i (0-based) as a number; -1 for "_".
  int head(size_t i) const;
};

enum class ReadStatus { kSentence, kEnd, kBadSentence, kFailed };

// Reads one sentence at a time from a stream. A line feed or CR LF ends a
// line; a UTF-8 byte-order mark at the start of the input is dropped. A
// sentence ends at an empty line (or a line of blanks) or at the end of input.
class Reader {
 public:
  // `name` is used in messages only; the stream stays the caller's.
  Reader(std::FILE* in, std::string name) : in_(in), name_(std::move(name)) {}

  // kSentence: `s` holds the next sentence. kBadSentence: the sentence was
  // malformed (ids out of order, a head outside the sentence, too few columns,
  // invalid UTF-8, a NUL byte); it was read to its end, `s` holds what could
  // be read and error() says "Error: FILE line N: ..."; reading can go on.
  // kEnd: no more input. kFailed: the stream could not be read (error() says so).
  ReadStatus next(Sentence& s);

  const std::string& error() const { return error_; }
  long line() const { return line_; }

 private:
  bool readLine(std::string& line);
  void fail(long line, const std::string& what);

  std::FILE* in_;
  std::string name_;
  std::string error_;
  long line_ = 0;
  bool bad_ = false;
};

// Appends the sentence in CoNLL-U form, blank line included.
void write(const Sentence& s, std::string& out);

// Tab-separated fields of a line (empty fields kept).
void splitTabs(const std::string& line, std::vector<std::string>& fields);

}  // namespace conllu

#endif
