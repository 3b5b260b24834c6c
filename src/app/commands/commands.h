// korvane-kit's commands. Each takes the arguments after the program name
// (argv[0] is the command's name) and returns the exit status: 0 success,
// 1 failure ("Error: ..." on stderr), 2 misuse. How to add one: see
// app/command_line.h.
#ifndef KORVANE_APP_COMMANDS_COMMANDS_H
#define KORVANE_APP_COMMANDS_COMMANDS_H

#include <vector>

// The program: argv[1] names the command.
int kitMain(int argc, char** argv);

struct KitCommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};
// Every command, in the order of the program's help.
const std::vector<KitCommand>& kitCommands();

class CommandLine;
class ProgressLine;
struct ME_TrainOptions;
// The optimiser's progress: one line per iteration with --verbose, else a progress line.
void estimatorProgress(const CommandLine& cl, ProgressLine& line, ME_TrainOptions& options);

// tagging.cpp
int runTrain(int argc, char** argv);
int runEvaluate(int argc, char** argv);
int runTag(int argc, char** argv);
// labels.cpp
int runBuildDict(int argc, char** argv);
int runBuildLegal(int argc, char** argv);
// parsing.cpp
int runParse(int argc, char** argv);
int runTrainParser(int argc, char** argv);
int runEvaluateParser(int argc, char** argv);
// projectivity.cpp
int runProjectivize(int argc, char** argv);
int runDeprojectivize(int argc, char** argv);
// roles.cpp
int runSrl(int argc, char** argv);
int runSense(int argc, char** argv);
// role_labelling.cpp
int runBuildBank(int argc, char** argv);
int runTrainSrl(int argc, char** argv);
int runLabelRoles(int argc, char** argv);
int runEvaluateSrl(int argc, char** argv);
// annotate.cpp
int runAnnotate(int argc, char** argv);
int runBuildTokenizer(int argc, char** argv);
int runBuildLemmatizer(int argc, char** argv);
int runEvaluateConllu(int argc, char** argv);
// tools.cpp
int runUpdateModel(int argc, char** argv);

#endif
