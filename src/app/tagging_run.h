// The tagger's command line and its run: model, tag dictionary and templates
// are loaded once, then the input is tagged line by line into one output line
// of "word/tag " pairs.
#ifndef KORVANE_APP_TAGGING_RUN_H
#define KORVANE_APP_TAGGING_RUN_H

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "decoding/line_sequences.h"  // isChineseCutMark
#include "features/token_table.h"
#include "maxent/me_model.h"
#include "options/param.h"

// Process-wide: the tagging language (36 English, anything else Chinese) and
// a counter nothing reads.
extern int _lang;
extern int globalCounter;

// help, language (default "Chinese"), outputfile (default "NULL").
extern const CRFPP::Option long_options[];

// The whole program: parses argv, checks the language, prints the banner,
// runs the tagger and the timing line. 0 on success, 1 when the run failed,
// 255 for an unknown language.
int korvaneMain(int argc, char** argv);

// Banner and an empty line on stdout.
void printUsage();

// Copies the model's labels, in id order, into tags; returns their count.
int showTagSet(ME_Model& model, std::vector<std::string>& tags);

// 1 when the whole input was tagged; -1 input, model or output unusable
// (including an output that is the input, model or dictionary file itself);
// -2 model does not load; -3 dictionary missing. ignoredPath and languageFlag
// are not read: the language comes from _lang. legalPath "NULL" means none.
int ME_TestLabel6(char* ignoredPath, char* modelPath, char* inputPath, char* outputPath, char* legalPath,
                  char* dictPath, int languageFlag);

// Fills tags with exactly one tag per row of a non-empty sequence.
typedef std::function<void(TokenTable& sequence, std::vector<std::string>& tags)> SequenceLabeler;

// The driver's line loop: reads in to its end one line at a time, cuts each
// line into sequences (English: the whole line; otherwise after every cut
// mark), labels them and writes "word/tag " for every word to out. Writes
// "#line=%d,#seq=0\r" to stderr after every 6000th line that is not empty.
// Returns the number of lines read.
int tagLineStream(std::FILE* in, std::FILE* out, bool english, const SequenceLabeler& label);

#endif
