// korvane-kit's argument layer: one option table, one parser, one usage-error
// format and one help layout for every command.
//
// Adding a command (see src/app/commands/projectivity.cpp for a short one):
//   1. In src/app/commands/<family>.cpp write `int runFoo(int argc, char** argv)`
//      (argv[0] is the command's name):
//        CommandLine cl("foo", "One paragraph on what it does.");
//        std::string model, input, output;         // a value set here is the default
//        cl.option(kitopt::kModel, model, "model file");
//        cl.positional("INPUT", input, "file to read (- for standard input)");
//        cl.positional("OUTPUT", output, "file to write (- for standard output)");
//        if (const int status = cl.parse(argc, argv); status >= 0) return status;
//        FileGuard files;                          // app/file_guard.h
//        InputFile& in = files.reads(input);
//        files.reads(model);
//        OutputFile& out = files.writes(output);
//        if (!files.check()) return 1;
//        if (libraryCall(in.path(), out.path()) != 1) return 1;   // messages: the library's
//        return out.commit() ? 0 : 1;
//      A report on standard output ends with `return stdoutWritten() ? 0 : 1;`.
//      Models: shippedFileOrSay() and applyManifest() (app/model_choice.h).
//      Long jobs: ProgressLine (app/messages.h).
//   2. Declare it in src/app/commands/commands.h and add a row to the table
//      in src/app/commands/commands.cpp (and the .cpp to src/app/CMakeLists.txt).
//   3. Use the spellings of kitopt below for their meanings; a new meaning gets
//      a new long name (tests/app/command_line_test.cpp checks that no short
//      or long name means two things across the commands).
// Exit statuses: 0 success, 1 failure ("Error: ..." on stderr), 2 misuse.
#ifndef KORVANE_APP_COMMAND_LINE_H
#define KORVANE_APP_COMMAND_LINE_H

#include <string>
#include <vector>

struct OptionName {
  char shortName;         // '\0': long form only
  const char* longName;   // without the dashes
  const char* valueName;  // shown in help ("FILE"); nullptr for a flag
  const char* aliases;    // older long names still accepted, comma-separated; nullptr for none
};

// One spelling for one meaning, in every command.
namespace kitopt {
constexpr OptionName kLanguage{'l', "language", "LANG", nullptr};
constexpr OptionName kModel{'m', "model", "FILE", nullptr};
constexpr OptionName kTemplate{'t', "template", "FILE", nullptr};
constexpr OptionName kDict{'D', "dict", "FILE", nullptr};  // tag dictionary
constexpr OptionName kOutput{'o', "output", "FILE", nullptr};
constexpr OptionName kThreads{'j', "threads", "N", nullptr};
constexpr OptionName kCutoff{'c', "cutoff", "N", nullptr};
constexpr OptionName kPenalty{'p', "penalty", "KIND", nullptr};
constexpr OptionName kStrength{'s', "strength", "C", nullptr};
constexpr OptionName kIterations{'i', "iterations", "N", nullptr};
constexpr OptionName kHeldout{'\0', "heldout", "FILE", nullptr};
constexpr OptionName kPatience{'\0', "patience", "N", nullptr};
constexpr OptionName kDriver{'\0', "driver", "NAME", nullptr};
constexpr OptionName kDirection{'\0', "direction", "DIR", nullptr};
constexpr OptionName kLifting{'e', "lifting", "N", nullptr};      // lifted-arc encoding of a tree
constexpr OptionName kEncoding{'\0', "encoding", "NAME", nullptr};  // character encoding of a text
constexpr OptionName kPunctColumn{'\0', "punct-column", "N", nullptr};
constexpr OptionName kColumn{'\0', "column", "N", nullptr};
constexpr OptionName kPropbank{'\0', "propbank", "FILE", nullptr};
constexpr OptionName kNombank{'\0', "nombank", "FILE", nullptr};
constexpr OptionName kMap{'\0', "map", "FILE", nullptr};  // key-value file of the relation features
constexpr OptionName kFinish{'\0', "finish", "MODE", nullptr};
constexpr OptionName kCandidates{'\0', "candidates", "SET", nullptr};
constexpr OptionName kFindPredicates{'\0', "find-predicates", nullptr, nullptr};
constexpr OptionName kInputKind{'\0', "input", "KIND", nullptr};  // what an input file holds
constexpr OptionName kLines{'\0', "lines", "KIND", nullptr};      // what one line of raw text is
constexpr OptionName kSteps{'\0', "steps", "LIST", nullptr};      // analyses to run
constexpr OptionName kModels{'\0', "models", "DIR", nullptr};     // folder of the shipped models
constexpr OptionName kParser{'\0', "parser", "KIND", nullptr};     // which shipped parser annotate uses
// Dependency-parser training and search.
constexpr OptionName kBeamWidth{'b', "beam-width", "N", nullptr};     // partial parses a beam keeps
constexpr OptionName kOracle{'\0', "oracle", "KIND", nullptr};         // static, dynamic or global
constexpr OptionName kEpochs{'\0', "epochs", "N", nullptr};           // passes of the global trainer
constexpr OptionName kBatch{'\0', "batch", "N", nullptr};             // sentences a global update waits for
constexpr OptionName kMinWeight{'\0', "min-weight", "W", nullptr};    // smallest weight a global model keeps
constexpr OptionName kExplore{'\0', "explore", "P", nullptr};          // dynamic oracle's sampling rate
constexpr OptionName kExplorerIterations{'\0', "explorer-iterations", "N", nullptr};
constexpr OptionName kExplorerFolds{'\0', "explorer-folds", "N", nullptr};
constexpr OptionName kStaticSamples{'\0', "static-samples", nullptr, nullptr};  // with the dynamic ones
constexpr OptionName kMarkLifted{'\0', "mark-lifted", "N", nullptr};   // mark lifted arcs seen N times
// Every command has these.
constexpr OptionName kQuiet{'q', "quiet", nullptr, nullptr};
constexpr OptionName kVerbose{'v', "verbose", nullptr, nullptr};
constexpr OptionName kProgress{'\0', "progress", nullptr, nullptr};
constexpr OptionName kHelp{'h', "help", nullptr, nullptr};
constexpr OptionName kVersion{'\0', "version", nullptr, nullptr};
}  // namespace kitopt

// "korvane-kit"
extern const char kKitProgram[];
// "korvane-kit (korvane) VERSION" or, with a command, "korvane-kit COMMAND (korvane) VERSION".
std::string kitVersionLine(const std::string& command);

class CommandLine {
 public:
  CommandLine(std::string command, std::string description);

  // Options taking a value. The variable's value before parse() is the
  // default, shown in the help unless empty (shownDefault replaces it there).
  void option(const OptionName& name, std::string& value, std::string help, std::string shownDefault = "");
  void option(const OptionName& name, int& value, std::string help, long lo, long hi);
  void option(const OptionName& name, double& value, std::string help, double lo, double hi);
  // A value from a fixed list; anyCase: compared ignoring ASCII case, stored lower-cased.
  void choice(const OptionName& name, std::string& value, std::string help, std::vector<std::string> choices,
              bool anyCase = false);
  void flag(const OptionName& name, bool& value, std::string help);
  // Non-option arguments, in order. A required one must be given; an
  // optional one keeps its value (its default, shown in the help) when not.
  void positional(const char* name, std::string& value, std::string help);
  void optionalPositional(const char* name, std::string& value, std::string help);

  // -1: go on. Otherwise the exit status to return: 0 after --help or
  // --version (printed on stdout), 2 after a usage error (on stderr).
  int parse(int argc, char** argv);

  // Prints "korvane-kit COMMAND: error: MESSAGE" and the --help hint; returns 2.
  int usageError(const std::string& message) const;

  // True when the option was on the command line (not just its default).
  bool given(const OptionName& name) const;
  bool quiet() const { return quiet_; }
  bool verbose() const { return verbose_; }
  bool progress() const { return progress_; }
  const std::string& command() const { return command_; }
  std::string help() const;

 private:
  enum class Kind { kText, kInt, kDouble, kChoice, kFlag };
  struct Spec {
    OptionName name;
    Kind kind;
    std::string help;
    std::string shownDefault;
    void* target;
    long intLo = 0, intHi = 0;
    double doubleLo = 0, doubleHi = 0;
    std::vector<std::string> choices;
    bool anyCase = false;
    bool given = false;
  };
  struct Positional {
    std::string name;
    std::string* target;
    std::string help;
    bool required;
  };
  Spec& add(const OptionName& name, Kind kind, std::string help, void* target);
  // Stores a given value; false after a usage error was printed.
  bool store(Spec& spec, const std::string& text);

  std::string command_;
  std::string description_;
  std::vector<Spec> specs_;
  std::vector<Positional> positionals_;
  bool quiet_ = false, verbose_ = false, progress_ = false, help_ = false, version_ = false;
};

#endif
