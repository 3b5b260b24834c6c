// korvane-kit subcommands that make and measure dependency-parser models, and
// the sample collection behind them. Library korvane_parsing_train: it links
// the weight estimator (liblbfgs), which the parsing library itself does not.
// Exit status of the commands: 0 success, 1 failure ("Error: ..." on stderr),
// 2 misuse (usage on stderr).
#ifndef KORVANE_PARSING_PARSER_TRAINING_H
#define KORVANE_PARSING_PARSER_TRAINING_H

#include <string>

#include "maxent/me_model.h"

// train-parser [options] TRAIN MODEL
// Projectivizes TRAIN into a temporary file, turns every tree into the
// oracle's actions, collects one sample per action with the template file and
// writes the estimated version-2 model to MODEL (replaced only on success).
int kitTrainParser(int argc, char** argv);

// evaluate-parser [options] -m MODEL GOLD
// Parses GOLD with a driver and prints attachment scores with and without
// punctuation and the parsing speed.
int kitEvaluateParser(int argc, char** argv);

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
// keeps the best tree still reachable (the dynamic oracle), to model. The
// parse follows the explorer's choice (allowed actions only), mistakes
// included. Same failures as collectParserSamples.
bool collectDynamicParserSamples(const std::string& templatePath, const std::string& inputPath, bool inverse,
                                 const ME_Model& explorer, const DynamicOracleOptions& options, ME_Model& model,
                                 ParserSampleCounts& counts);

// The template file used when none is given: models/parser.template in the
// working directory, else in the source tree's models folder; empty when
// neither exists.
std::string defaultParserTemplate();

#endif
