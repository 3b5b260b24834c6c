// Label inventory files: build-dict, build-legal.
#include <climits>
#include <string>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "labels/legal_transitions.h"
#include "labels/tag_dictionary.h"

int runBuildDict(int argc, char** argv) {
  CommandLine cl("build-dict",
                 "Writes the tag dictionary of a column-format training file: every word with the tags it was\n"
                 "seen with (the tag is the last field of a row).");
  std::string train, dict;
  int column = 1;
  cl.option(kitopt::kColumn, column, "field holding the word, counted from 1", 1, INT_MAX);
  cl.positional("TRAIN", train, "column-format training file (- for standard input)");
  cl.positional("DICT", dict, "tag dictionary file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(train);
  OutputFile& out = files.writes(dict);
  if (!files.check()) return 1;
  if (!buildCliqueLabelDict(in.path(), out.path(), column)) return 1;
  return out.commit() ? 0 : 1;
}

int runBuildLegal(int argc, char** argv) {
  CommandLine cl("build-legal",
                 "Writes the legal label transitions of a column-format training file: the labels that start\n"
                 "and end a sentence and the pairs that follow each other (the label is the last field).");
  std::string train, legal;
  cl.positional("TRAIN", train, "column-format training file (- for standard input)");
  cl.positional("OUT", legal, "legal transition file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.reads(train);
  OutputFile& out = files.writes(legal);
  if (!files.check()) return 1;
  if (!buildLegalSeqTrans(in.path(), out.path())) return 1;
  return out.commit() ? 0 : 1;
}
