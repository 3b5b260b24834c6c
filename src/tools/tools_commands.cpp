#include "tools/tools_commands.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/model_update.h"

namespace {

void updateModelUsage(std::FILE* to, const char* name) {
  std::fprintf(to,
               "Usage: korvane-kit %s OLD NEW\n"
               "  OLD  model file of the older format: label, feature name and weight on each line\n"
               "  NEW  model file of version 2 to write (replaced only when OLD converts whole)\n",
               name);
}

}  // namespace

int kitUpdateModel(int argc, char** argv) {
  const char* name = (argc > 0 && argv[0] != nullptr) ? argv[0] : "update-model";
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
      updateModelUsage(stdout, name);
      return 0;
    }
    if (arg[0] == '-' && arg[1] != '\0') {
      std::fprintf(stderr, "Error: unknown option %s.\n", arg);
      updateModelUsage(stderr, name);
      return 2;
    }
    files.push_back(arg);
  }
  if (files.size() != 2) {
    updateModelUsage(stderr, name);
    return 2;
  }
  return modelUpdateV2Checked(files[0], files[1]) ? 0 : 1;
}
