// Model tools: update-model.
#include <string>

#include "app/command_line.h"
#include "app/commands/commands.h"
#include "app/file_guard.h"
#include "tools/model_update.h"

int runUpdateModel(int argc, char** argv) {
  CommandLine cl("update-model",
                 "Converts a model file of the older format (label, feature name and weight on each line) to a\n"
                 "version-2 model file; NEW is replaced only when OLD converts whole.");
  std::string oldPath, newPath;
  cl.positional("OLD", oldPath, "model file of the older format (- for standard input)");
  cl.positional("NEW", newPath, "version-2 model file to write (- for standard output)");
  if (const int status = cl.parse(argc, argv); status >= 0) return status;
  FileGuard files;
  InputFile& in = files.readsText(oldPath);
  OutputFile& out = files.writes(newPath);
  if (!files.check()) return 1;
  return modelUpdateV2Checked(in.path(), out.path()) && out.commit() ? 0 : 1;
}
