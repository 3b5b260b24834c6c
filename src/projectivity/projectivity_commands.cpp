#include "projectivity/projectivity_commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "projectivity/projective_file.h"

namespace {

const char kProjectivizeUsage[] =
    "Usage: korvane-kit projectivize INPUT OUTPUT\n"
    "Rewrites the dependency file INPUT (columns 8 head, 9 relation, from 0;\n"
    "sentences separated by empty lines) to OUTPUT with every tree projective:\n"
    "heads are lifted to the grandparent first, to any token second; sentences\n"
    "neither strategy repairs are left out. Prints the counts.\n";

const char kDeprojectivizeUsage[] =
    "Usage: korvane-kit deprojectivize [-e ENCODING] INPUT OUTPUT\n"
    "Turns relations of the form relation|marker in the dependency file INPUT\n"
    "back into arcs and writes the file to OUTPUT.\n"
    "  -e, --encoding 2|3  2: the head is a sibling whose relation is the marker\n"
    "                      (grandparent lifting, default); 3: any token whose\n"
    "                      relation is the marker\n";

bool isHelp(const char* a) { return std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0; }

int misuse(const char* usage, const char* problem, const char* argument) {
  if (problem != nullptr) std::fprintf(stderr, "Error: %s%s.\n", problem, argument != nullptr ? argument : "");
  std::fputs(usage, stderr);
  return 2;
}

}  // namespace

int kitProjectivize(int argc, char** argv) {
  std::vector<char*> files;
  bool mark = false;
  for (int i = 1; i < argc; ++i) {
    if (isHelp(argv[i])) {
      std::fputs(kProjectivizeUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--mark") == 0) {
      mark = true;
      continue;
    }
    if (argv[i][0] == '-' && argv[i][1] != '\0') return misuse(kProjectivizeUsage, "unknown option ", argv[i]);
    files.push_back(argv[i]);
  }
  if (files.size() != 2) return misuse(kProjectivizeUsage, "expected INPUT and OUTPUT", nullptr);
  ProjectiveGenCounts counts;
  if (ProjectiveGen(files[0], files[1], &counts, mark) != 1) return 1;
  std::printf("sentences: %d\n", counts.sentences);
  std::printf("non-projective: %d\n", counts.nonProjective);
  std::printf("not repaired by grandparent lifting: %d\n", counts.notByGrandparent);
  std::printf("left out, not repaired: %d\n", counts.leftOut);
  std::printf("left out, malformed: %d\n", counts.malformed);
  std::printf("written: %d\n", counts.sentences - counts.leftOut - counts.malformed);
  if (mark) std::printf("marked lifted arcs: %d (heads left unmarked: %d)\n", counts.markedArcs, counts.unmarkedHeads);
  return 0;
}

int kitDeprojectivize(int argc, char** argv) {
  std::vector<char*> files;
  int encoding = 2;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (isHelp(a)) {
      std::fputs(kDeprojectivizeUsage, stdout);
      return 0;
    }
    std::string value;
    if (std::strcmp(a, "-e") == 0 || std::strcmp(a, "--encoding") == 0) {
      if (i + 1 >= argc) return misuse(kDeprojectivizeUsage, "missing value of ", a);
      value = argv[++i];
    } else if (std::strncmp(a, "--encoding=", 11) == 0) {
      value = a + 11;
    } else if (a[0] == '-' && a[1] != '\0') {
      return misuse(kDeprojectivizeUsage, "unknown option ", a);
    } else {
      files.push_back(argv[i]);
      continue;
    }
    if (value == "2")
      encoding = 2;
    else if (value == "3")
      encoding = 3;
    else
      return misuse(kDeprojectivizeUsage, "encoding must be 2 or 3, not ", value.c_str());
  }
  if (files.size() != 2) return misuse(kDeprojectivizeUsage, "expected INPUT and OUTPUT", nullptr);
  DeprojectivizeCounts counts;
  if (deprojectivizeFile(files[0], files[1], encoding, &counts) != 1) return 1;
  std::printf("sentences: %d\n", counts.sentences);
  std::printf("lifted labels decoded: %d\n", counts.decodedLabels);
  std::printf("left out, malformed: %d\n", counts.malformed);
  return 0;
}
