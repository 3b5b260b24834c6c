#include "labels/tag_dictionary.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "text/line_utils.h"

void LoadCliqueLabelDict(char* path, CMiniStringBag& wordBag, std::vector<CMiniStringBag>& wordTagBags) {
  wordBag = CMiniStringBag();
  wordTagBags.clear();
  if (path == nullptr) return;
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return;
  std::string line;
  std::vector<std::string> fields;
  while (readLineWhole(f, line)) {
    if (line.empty()) break;
    readLine2VectorString(line, fields);
    // No word on the line: adding a tag bag here would shift every later word.
    if (fields.empty()) continue;
    wordBag.Put(fields[0]);
    CMiniStringBag tags;
    for (size_t i = 1; i < fields.size(); ++i) tags.Put(fields[i]);
    wordTagBags.push_back(std::move(tags));
  }
  std::fclose(f);
}

bool Load2DimDataFromCRF(char* path, int column, std::vector<std::vector<std::string>>& blocks) {
  blocks.clear();
  if (path == nullptr) return false;
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  std::vector<std::string> block;
  std::string line, field;
  while (readLineWhole(f, line)) {
    if (line.empty()) {
      if (!block.empty()) {
        blocks.push_back(std::move(block));
        block.clear();
      }
      continue;
    }
    if (column > 0) {
      cutSeginLine(line, column, column, field);
    } else if (column < 0 && column != INT_MIN) {
      cutSeginLineInv(line, -column, -column, field);
    } else {
      field.clear();
    }
    block.push_back(field);
  }
  if (!block.empty()) blocks.push_back(std::move(block));
  std::fclose(f);
  return true;
}

bool buildCliqueLabelDict(char* trainPath, char* dictPath, int wordColumn) {
  std::vector<std::vector<std::string>> tagBlocks, wordBlocks;
  if (!Load2DimDataFromCRF(trainPath, -1, tagBlocks) || !Load2DimDataFromCRF(trainPath, wordColumn, wordBlocks)) {
    std::fprintf(stderr, "Error: open file %s.\n", trainPath ? trainPath : "(null)");
    return false;
  }
  CMiniStringBag wordBag;
  std::vector<CMiniStringBag> tagBags;
  const size_t sentences = std::min(tagBlocks.size(), wordBlocks.size());
  for (size_t i = 0; i < sentences; ++i) {
    const size_t tokens = std::min(tagBlocks[i].size(), wordBlocks[i].size());
    for (size_t j = 0; j < tokens; ++j) {
      const std::string& word = wordBlocks[i][j];
      if (word.empty()) continue;
      const int id = wordBag.Put(word);
      if (static_cast<size_t>(id) < tagBags.size()) {
        tagBags[id].Put(tagBlocks[i][j]);
      } else {
        tagBags.emplace_back();
        tagBags.back().Put(tagBlocks[i][j]);
      }
    }
  }

  std::FILE* out = dictPath ? std::fopen(dictPath, "w") : nullptr;
  if (out == nullptr) {
    std::fprintf(stderr, "Error: cannot create %s.\n", dictPath ? dictPath : "(null)");
    return false;
  }
  for (int id = 0; id < wordBag.count; ++id) {
    const std::string& word = wordBag.strings[id];
    std::fwrite(word.data(), 1, word.size(), out);
    for (const std::string& tag : tagBags[id].strings) {
      std::fputc(' ', out);
      std::fwrite(tag.data(), 1, tag.size(), out);
    }
    std::fputc('\n', out);
  }
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    std::fprintf(stderr, "Error: write to %s failed.\n", dictPath);
    return false;
  }
  std::fprintf(stderr, "item counter=%d\n", wordBag.count);
  return true;
}
