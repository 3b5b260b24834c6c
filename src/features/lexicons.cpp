#include "features/lexicons.h"

#include <cstdio>

#include "features/chinese_lexicon.h"
#include "features/pos_lexicon.h"
#include "features/spelling_functions.h"
#include "features/word_list.h"
#include "features/wordnet_lexicon.h"
#include "text/line_utils.h"

bool loadLexicon(const std::string& names) {
  size_t at = 0;
  while (at <= names.size()) {
    size_t comma = names.find(',', at);
    if (comma == std::string::npos) comma = names.size();
    std::string name = lowcaseIt(names.substr(at, comma - at));
    const size_t b = name.find_first_not_of(" \t"), e = name.find_last_not_of(" \t");
    name = b == std::string::npos ? "" : name.substr(b, e - b + 1);
    at = comma + 1;
    if (name.empty() || name == "none") continue;
    if (name == "wordnet") {
      if (!loadDefaultWordNet()) return false;
    } else if (name == "jieba") {
      if (!loadDefaultChineseLexicon()) return false;
    } else if (name == "words") {
      if (!loadDefaultWordList()) return false;
    } else if (name == "poslex") {
      if (!loadDefaultPosLexicon()) return false;
    } else {
      std::fprintf(stderr, "Error: unknown lexicon '%s' (known: wordnet, jieba, words, poslex).\n", name.c_str());
      return false;
    }
  }
  return true;
}

std::string lexiconOfTemplates(const std::vector<_ftnind>& templates) {
  bool wordNet = false, chinese = false, words = false, posLexicon = false;
  for (const _ftnind& t : templates)
    for (const _ft& item : t.items) {
      wordNet = wordNet || isWordNetCode(item.valueFunction);
      chinese = chinese || isChineseLexiconCode(item.valueFunction);
      words = words || isWordListCode(item.valueFunction);
      posLexicon = posLexicon || isPosLexiconCode(item.valueFunction);
    }
  std::string names;
  for (const auto& used : {std::make_pair(wordNet, "wordnet"), std::make_pair(chinese, "jieba"),
                           std::make_pair(words, "words"), std::make_pair(posLexicon, "poslex")})
    if (used.first) names += (names.empty() ? "" : ",") + std::string(used.second);
  return names;
}

bool loadTemplateLexicons(const std::vector<_ftnind>& templates, const std::string& templatePath) {
  const std::string name = lexiconOfTemplates(templates);
  if (name.empty() || loadLexicon(name)) return true;
  std::fprintf(stderr, "Error: template file %s needs the %s lexicon.\n", templatePath.c_str(), name.c_str());
  return false;
}
