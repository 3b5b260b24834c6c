// Parsing drivers (arc-eager parse of a file with a model and a template
// file) and the parser training-sample generators.
//
// Input: token rows of columns separated by blanks and tabs, sentences ended
// by an empty line (a line of blanks and tabs only counts as empty). Output:
// every input column followed by a space, then "%d %s\n" with the predicted
// head + 1 (0 for a root) and the relation; an empty line after each sentence.
#ifndef KORVANE_PARSING_PARSING_DRIVERS_H
#define KORVANE_PARSING_PARSING_DRIVERS_H

#include <string>
#include <vector>

#include "features/token_table.h"
#include "maxent/me_model.h"
#include "parsing/transition_system.h"
#include "templates/template_types.h"

// Process-wide; true until a parsing or role-labelling driver clears it.
// While set, the sample generators check template columns against the rows.
extern bool _trainFlag;

// 1 at the end of the input; -1 when a file cannot be probed, opened, read or
// written, the model does not load or has no labels, the template file names
// a template twice, or the column check fires.
int ME_TestPNivre2Ext(char* templatePath, char* modelPath, char* inputPath, char* outputPath);
int ME_TestPNivre2ExtInverse(char* templatePath, char* modelPath, char* inputPath, char* outputPath);
// Left to right, then tokens left without a head are given heads among the
// tokens of the final stack; its bottom token becomes the root.
int ME_TestPNivre2ExtV2(char* templatePath, char* modelPath, char* inputPath, char* outputPath);

// What a driver name asks for: "ltr", "rtl", "repair" (left to right, then
// the tokens left without a head attached), "beam" / "beam-rtl" (a beam
// instead of greedy steps), "global" / "global-rtl" (the beam adding raw
// action scores, for a globally trained model).
struct ParsingDriver {
  bool rightToLeft = false;
  bool repair = false;
  bool beam = false;
  bool sumScores = false;
};
// False, driver untouched, for any other name.
bool parsingDriverByName(const std::string& name, ParsingDriver& driver);

// Width of the beam when none is named.
constexpr int kDefaultBeamWidth = 8;

// Parses sentences held in memory, one at a time, with a model and template
// file loaded once: left to right with root repair, as ME_TestPNivre2ExtV2
// parses each sentence of a file. Rows are in the driver's column layout.
// One object per thread (parsing changes its scratch state).

class SentenceParser {
 public:
  SentenceParser();
  ~SentenceParser();
  SentenceParser(const SentenceParser&) = delete;
  SentenceParser& operator=(const SentenceParser&) = delete;

  // driver: "ltr", "rtl" (a right-to-left model), "repair" (left to right
  // with root repair), "beam" / "beam-rtl" (a beam of kDefaultBeamWidth), or
  // "global" / "global-rtl" (the same beam adding raw action scores, for a
  // globally trained model). False with `error` ("Error: ...") when a file cannot
  // be read, the model has no labels, the template file names a template
  // twice or the driver is none of these.
  bool load(const std::string& templatePath, const std::string& modelPath, const std::string& driver,
            std::string& error);
  // arcs: one per row, head -1 and relation "ROOT" for the root. False when
  // the template reads a column the rows lack (nothing is parsed then).
  bool parse(TokenTable& rows, std::vector<_dppair>& arcs);

 private:
  struct State;
  State* state_;
};

// Parses a file with the named driver ("ltr", "rtl", "repair", "beam",
// "beam-rtl", "global", "global-rtl"; anything else reads as ltr): the same files, output and
// messages as the drivers above. With threads above 1 the sentences are
// parsed by that many threads, each with a copy of the templates and
// buffers and the model shared, and written in input order; the progress
// line then follows each batch of sentences.
int parseDependencyFile(char* templatePath, char* modelPath, char* inputPath, char* outputPath,
                        const std::string& driver, int beamWidth, int threads);

// Adds one training instance (label = action, features of the current state)
// to model and applies the action (left to right / right to left).
// 1, or -1 when an item's column is not below the width of the first row.
int NivreSampleGenExt(std::string& action, ME_Sample& sample, ME_Model& model, std::vector<_ftnind>& templates,
                      std::vector<int>& templateOrder, TokenTable& rows, std::vector<int>& stack, int& next,
                      std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                      std::vector<int>& predicateRows, std::vector<_hisstruc>& actionHistory);
int NivreSampleGenExtInverse(std::string& action, ME_Sample& sample, ME_Model& model,
                             std::vector<_ftnind>& templates, std::vector<int>& templateOrder, TokenTable& rows,
                             std::vector<int>& stack, int& next, std::vector<_dppair>& arcs,
                             std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                             std::vector<_hisstruc>& actionHistory);

// Fills sample.feature_strs with the features of a parser state as the
// drivers and the sample generators build them ("name:value" for every
// template whose name begins with U, in template order). -1, after the
// column message, when checkColumns is set and a template reads the last
// column of the first row or beyond.
int parserStateFeatures(ME_Sample& sample, std::vector<_ftnind>& templates, const std::vector<int>& templateOrder,
                        TokenTable& rows, std::vector<int>& stack, int position, std::vector<_dppair>& arcs,
                        std::vector<std::vector<_dppair>>& argumentLists, std::vector<int>& predicateRows,
                        std::vector<_dppair>& extraArcs, bool checkColumns);

// The action a driver applies: chosen when it can change the parser state,
// otherwise the most probable label that can (on an empty stack only a shift
// can). Empty when no label can, which ends the parse of the sentence.
std::string applicableAction(const std::string& chosen, const std::vector<double>& probs,
                             const std::vector<std::string>& tags, bool stackEmpty);

#endif
