#include "labels/legal_transitions.h"

#include <cstdio>

#include "labels/tag_dictionary.h"
#include "text/line_utils.h"

bool LoadLegalTagTrans(char* path, std::vector<CMiniStringBag>& table) {
  table.resize(4);
  for (CMiniStringBag& bag : table) bag = CMiniStringBag();
  if (path == nullptr || path[0] == '\0') {
    std::printf("No legal label transition file for reading.\n");
    return false;
  }
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    std::printf("Unable to open %s for reading.\n", path);
    return false;
  }
  std::string line, tag, first, second;
  while (readLineWhole(f, line)) {
    if (line.empty()) continue;
    cutSeginLine(line, 1, 1, tag);
    if (tag == "S:") {
      cutSeginLine(line, 2, 2, first);
      table[0].Put(first);
    } else if (tag == "E:") {
      cutSeginLine(line, 2, 2, first);
      table[1].Put(first);
    } else if (tag == "T:") {
      cutSeginLine(line, 2, 2, first);
      cutSeginLine(line, 3, 3, second);
      table[2].Put(first + " " + second);
    }
  }
  std::fclose(f);
  return true;
}

namespace {
bool known(const CMiniStringBag& bag, const std::string& s) {
  auto found = bag.idByString.find(s);
  return found != bag.idByString.end() && found->second >= 0;
}
}  // namespace

bool IsLegalSequence(std::string& first, std::string& second, std::vector<CMiniStringBag>& table) {
  if (table.size() < 3) return false;
  if (second.empty()) return known(table[0], first);
  if (first.empty()) return known(table[1], second);
  return known(table[2], first + " " + second);
}

namespace {
void writeGroup(std::FILE* out, const char* tagWord, const CMiniStringBag& bag) {
  // Whole lines whatever the label length.
  for (const std::string& s : bag.strings) {
    std::fputs(tagWord, out);
    std::fwrite(s.data(), 1, s.size(), out);
    std::fputc('\n', out);
  }
}
}  // namespace

bool buildLegalSeqTrans(char* trainPath, char* outPath) {
  std::vector<std::vector<std::string>> blocks;
  if (!Load2DimDataFromCRF(trainPath, -1, blocks)) {
    std::fprintf(stderr, "Error: open file %s.\n", trainPath ? trainPath : "(null)");
    return false;
  }
  CMiniStringBag starts, ends, transitions;
  for (const std::vector<std::string>& labels : blocks) {
    if (labels.empty()) continue;
    starts.Put(labels.front());
    ends.Put(labels.back());
    for (size_t i = 0; i + 1 < labels.size(); ++i) transitions.Put(labels[i] + " " + labels[i + 1]);
  }
  std::FILE* out = outPath ? std::fopen(outPath, "wb") : nullptr;
  if (out == nullptr) {
    std::fprintf(stderr, "Error: cannot create %s.\n", outPath ? outPath : "(null)");
    return false;
  }
  writeGroup(out, "S: ", starts);
  writeGroup(out, "E: ", ends);
  writeGroup(out, "T: ", transitions);
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    std::fprintf(stderr, "Error: write to %s failed.\n", outPath);
    return false;
  }
  return true;
}
