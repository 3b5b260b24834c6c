// Pseudo-projective transforms: projectivize, deprojectivize.
#include <cstdio>
#include <string>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "parsing/parser_kit_support.h"
#include "projectivity/projective_file.h"

int runProjectivize(int argc, char** argv) {
  CommandLine cl("projectivize",
                 "Rewrites a dependency file (columns 8 head, 9 relation, counted from 0; sentences separated by\n"
                 "empty lines) with every tree projective: heads are lifted to the grandparent first, to any\n"
                 "token second; sentences neither strategy repairs are left out. Prints the counts.");
  std::string input, output;
  int mark = 0;
  cl.option(kitopt::kMarkLifted, mark,
            "mark every lifted arc in its relations, as train-parser --mark-lifted does, where the marked "
            "relation occurs at least N times in the output (relation|R on the lifted token, |R on its "
            "original head, R that head's relation; deprojectivize puts them back); 0: no marks",
            0, 1000000000);
  cl.positional("INPUT", input, "dependency file (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(input);
  OutputFile& out = files.writes(output);
  if (!files.check()) return 1;
  ProjectiveGenCounts counts;
  if (mark <= 1) {
    if (ProjectiveGen(in.path(), out.path(), &counts, mark > 0) != 1 || !out.commit()) return 1;
  } else {
    ParserKitTempFile marked("korvane-marked");
    std::string markedPath = marked.path();
    if (!marked.ok() || ProjectiveGen(in.path(), &markedPath[0], &counts, true) != 1 ||
        keepFrequentMarkers(&markedPath[0], out.path(), mark) != 1 || !out.commit())
      return 1;
  }
  // The counts go to stderr when the file itself goes to standard output.
  std::FILE* report = out.isStdout() ? stderr : stdout;
  if (!cl.quiet()) {
    std::fprintf(report, "sentences: %d\n", counts.sentences);
    std::fprintf(report, "non-projective: %d\n", counts.nonProjective);
    std::fprintf(report, "not repaired by grandparent lifting: %d\n", counts.notByGrandparent);
    std::fprintf(report, "left out, not repaired: %d\n", counts.leftOut);
    std::fprintf(report, "left out, malformed: %d\n", counts.malformed);
    std::fprintf(report, "written: %d\n", counts.sentences - counts.leftOut - counts.malformed);
    if (mark > 0)
      std::fprintf(report, "lifted arcs marked: %d (original heads that could not carry the mark: %d)\n",
                   counts.markedArcs, counts.unmarkedHeads);
  }
  return stdoutWritten() ? 0 : 1;
}

int runDeprojectivize(int argc, char** argv) {
  CommandLine cl("deprojectivize",
                 "Turns relations of the form relation|marker in a dependency file back into arcs.");
  std::string input, output, encoding = "2";
  cl.choice(kitopt::kLifting, encoding,
            "2: the head is a sibling whose relation is the marker (grandparent lifting); 3: any token whose "
            "relation is the marker",
            {"2", "3"});
  cl.positional("INPUT", input, "dependency file (- for standard input)");
  cl.positional("OUTPUT", output, "file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(input);
  OutputFile& out = files.writes(output);
  if (!files.check()) return 1;
  DeprojectivizeCounts counts;
  if (deprojectivizeFile(in.path(), out.path(), encoding == "3" ? 3 : 2, &counts) != 1 || !out.commit()) return 1;
  std::FILE* report = out.isStdout() ? stderr : stdout;
  if (!cl.quiet()) {
    std::fprintf(report, "sentences: %d\n", counts.sentences);
    std::fprintf(report, "lifted labels decoded: %d\n", counts.decodedLabels);
    std::fprintf(report, "left out, malformed: %d\n", counts.malformed);
  }
  return stdoutWritten() ? 0 : 1;
}
