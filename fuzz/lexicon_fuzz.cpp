// lexicon: the word lists read at run time (the Chinese "word count tag"
// list, the English word list, the part-of-speech lexicon, WordNet index and
// exception files) and their lookups. Input: the list's text, "%%", words to look up, one per line.
#include <sys/stat.h>

#include "features/chinese_lexicon.h"
#include "features/pos_lexicon.h"
#include "features/word_list.h"
#include "features/wordnet_lexicon.h"
#include "fuzz/fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = fuzz::splitParts(data, size, 2);
  std::vector<std::string> words;
  for (size_t at = 0; at <= parts[1].size();) {
    size_t end = parts[1].find('\n', at);
    if (end == std::string::npos) end = parts[1].size();
    words.push_back(parts[1].substr(at, end - at));
    at = end + 1;
  }
  fuzz::ScratchFiles files;
  const std::string list = files.add("list", parts[0]);
  std::string error;
  ChineseLexicon chinese;
  if (chinese.load(list, error)) {
    for (const std::string& w : words)
      if (const ChineseLexicon::Entry* e = chinese.find(w)) (void)chinese.tagText(*e).size();
  }
  WordList english;
  if (english.load(list, error))
    for (const std::string& w : words) (void)english.classOf(w);
  PosLexicon tags;
  if (tags.load(list, error))
    for (const std::string& w : words) (void)tags.tagsOf(w).size();

  // WordNet reads a folder: the same text as every index and exception file.
  const std::string dir = fuzz::scratchPath("wordnet");
  mkdir(dir.c_str(), 0700);
  for (const char* name : {"index.noun", "index.verb", "index.adj", "index.adv", "noun.exc", "verb.exc",
                           "adj.exc", "adv.exc"}) {
    const std::string path = dir + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) __builtin_trap();
    if (!parts[0].empty() && std::fwrite(parts[0].data(), 1, parts[0].size(), f) != parts[0].size())
      __builtin_trap();
    std::fclose(f);
    files.paths.push_back(path);
  }
  WordNetLexicon wordNet;
  if (wordNet.load(dir, error))
    for (const std::string& w : words) (void)(wordNet.categories(w) | wordNet.baseCategories(w));
  files.paths.clear();  // the folder's files go first, then the folder
  for (const char* name : {"index.noun", "index.verb", "index.adj", "index.adv", "noun.exc", "verb.exc",
                           "adj.exc", "adv.exc"})
    fuzz::removeFile(dir + "/" + name);
  rmdir(dir.c_str());
  fuzz::removeFile(list);
  return 0;
}
