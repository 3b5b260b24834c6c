// Training dependency-parser models and the sample collection behind it, and
// scoring a parsed file against its gold trees. Library korvane_parsing_train:
// it links the weight estimator (liblbfgs), which the parsing library itself
// does not.
#ifndef KORVANE_PARSING_PARSER_TRAINING_H
#define KORVANE_PARSING_PARSER_TRAINING_H

#include <functional>
#include <string>
#include <vector>

#include "maxent/estimator.h"
#include "maxent/me_model.h"

struct ParserSampleCounts {
  int sentences = 0;      // sentences read (followed by an empty line)
  int underivable = 0;    // trees the oracle cannot rebuild, left out
  long samples = 0;       // one per applied action
};

// Adds one training sample per oracle action of every sentence of a
// projective dependency file (columns 8 and 9 hold the tree) to model, as the
// left-to-right (inverse: right-to-left) driver would see the states. Returns
// false with an "Error: ..." message when a file cannot be read or a template
// reads a column a row does not have (the last column never counts).
bool collectParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                          ME_Model& model, ParserSampleCounts& counts);

struct DynamicOracleOptions {
  // Probability with which the next action is drawn from the explorer's
  // distribution instead of being its most probable one.
  double explore = 0.1;
  unsigned seed = 19;
};

// Parses every sentence of a projective dependency file with the explorer
// model and adds one sample per state reached, labelled with the action that
// keeps the best tree still reachable (the dynamic oracle), to model; among
// several such actions the one the explorer finds most probable (on a tie the
// static oracle's order). The parse follows the explorer's choice (allowed
// actions only), mistakes included. Same failures as collectParserSamples.
bool collectDynamicParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                                 const ME_Model& explorer, const DynamicOracleOptions& options, ME_Model& model,
                                 ParserSampleCounts& counts);

struct GlobalTrainingOptions {
  int width = 8;    // beam width while training
  int epochs = 16;  // passes over the treebank
  // Features seen fewer times in the oracle's states are left out.
  int cutoff = 2;
  unsigned seed = 19;  // order of the sentences in each pass
  // Sentences parsed with the same weights, their updates made afterwards in
  // sentence order. Larger batches learn more slowly (on the English
  // treebank 16 cost a point of UAS, 2 nothing measurable).
  int batch = 2;
  // Threads sharing each beam step and each update; the model is the same
  // for any number.
  int threads = 1;
  // Averaged weights smaller than this are left out of the model: on the
  // English treebank those below 1 halve the model and change nothing.
  double minWeight = 1.0;
  // Called after each pass: its number (from 1), the sentences that
  // updated the weights in it.
  std::function<void(int, long)> onEpoch;
  // Called now and then with the sentences trained on so far (all passes).
  std::function<void(long)> onProgress;
};

// Globally trained beam (structured perceptron with early update, averaged
// weights): every sentence of a projective dependency file is parsed with a
// beam of options.width by the weights so far; as soon as the oracle's
// action sequence falls out of the beam (or, at the end, is not the best),
// the weights move toward the oracle's features and away from the best
// sequence's. The model holds the averaged weights; its action scores are
// meant to be summed (a beam with BeamInputs::sumScores). Same failures as
// collectParserSamples.
bool trainGlobalParser(const std::string& templatePath, const std::string& inputPath, bool inverse,
                       const GlobalTrainingOptions& options, ME_Model& model, ParserSampleCounts& counts);

struct ParserTrainingReport;

struct ParserTrainingOptions {
  std::string templatePath;
  bool inverse = false;  // a model for the right-to-left driver
  int cutoff = 2;
  ME_TrainOptions estimator;
  // Dynamic oracle: first an explorer model is trained on the static
  // oracle's samples with explorerIterations iterations, then the samples of
  // the states it reaches on the treebank, labelled by the dynamic oracle,
  // make the model.
  // With explorerFolds above 1 the treebank is cut into that many parts and
  // each part is parsed by an explorer trained on the others; keepStatic adds
  // the static oracle's samples of the whole treebank to the dynamic ones.
  bool dynamicOracle = false;
  int explorerIterations = 50;
  int explorerFolds = 1;
  bool keepStatic = false;
  DynamicOracleOptions dynamic;
  // Above 0: lifted arcs are marked in their relations (see ProjectiveGen)
  // where the marked relation occurs at least this many times.
  int markLifted = 0;
  // A globally trained beam model instead of the maximum-entropy one.
  bool global = false;
  GlobalTrainingOptions globalTraining;
  // Called when a phase starts ("explorer", "dynamic oracle"), for progress.
  std::function<void(const char*)> onPhase;
  // Called once the samples and the feature bag are ready, before the weights.
  std::function<void(const ME_Model&, const ParserTrainingReport&)> onSamples;
};

struct ParserTrainingReport {
  ParserSampleCounts counts;
  int markedArcs = 0;  // lifted arcs marked in the training trees
  double collectSeconds = 0;  // projectivizing and sample collection
  ME_TrainReport estimator;
  double seconds = 0;  // all of it
};

// Projectivizes the treebank into a temporary file, turns every tree into
// the oracle's actions, collects one sample per action with the template file
// and estimates the weights into model (a fresh one). False after an "Error: ...".
bool trainParserModel(const std::string& treebankPath, const ParserTrainingOptions& options, ME_Model& model,
                      ParserTrainingReport& report);

struct ParserScore {
  long tokens = 0, heads = 0, labelled = 0;
  double percent(long good) const { return tokens > 0 ? 100.0 * good / tokens : 0.0; }
};

struct ParserEvaluation {
  long sentences = 0, liftedLabels = 0;
  long liftedFound = 0;        // lifted labels whose marked head was found
  long nonProjectiveArcs = 0;  // gold arcs that projectivizing would lift
  long nonProjectiveRight = 0; // ... whose head the parse got right
  ParserScore all, noPunctuation;
};

// Punctuation tags of the English treebanks.
bool isPunctuationTag(const std::string& tag);

// Compares a parsed file (every gold column, then head and relation) with its
// gold file (head in column 8, relation in 9, from 0): attachment scores with
// and without the tokens whose tag in punctColumn is punctuation. Lifted
// labels (relation|marker) are put back first (decodeMarkedArcs with decoder
// 2 or 3). A token
// whose gold and predicted heads are both the root counts as correctly
// labelled. False after an "Error: ..." naming the line that does not match.
bool scoreParsedFile(const std::string& goldPath, const std::string& parsedPath, int punctColumn, int decoder,
                     ParserEvaluation& result);

#endif
