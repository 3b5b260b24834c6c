// korvane-kit subcommands that make and measure tagging models.
// Exit status: 0 success, 1 failure (message on stderr), 2 misuse (usage on stderr).
#ifndef KORVANE_APP_KIT_TRAINING_H
#define KORVANE_APP_KIT_TRAINING_H

#include <string>

// train [options] TRAIN MODEL [DICT]
int kitTrain(int argc, char** argv);
// evaluate [options] GOLD
int kitEvaluate(int argc, char** argv);

// The template file of a language: models/<language>.template in the working
// directory, else in the source tree's models folder. Empty when neither exists.
std::string kitTemplateFor(const std::string& language);

#endif
