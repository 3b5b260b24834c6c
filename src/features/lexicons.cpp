#include "features/lexicons.h"

#include <cstdio>

#include "features/chinese_lexicon.h"
#include "features/pos_lexicon.h"
#include "features/spelling_functions.h"
#include "features/word_list.h"
#include "features/wordnet_lexicon.h"
#include "text/line_utils.h"

namespace {

// Every lexicon a template set can read, in the order lexiconOfTemplates names them.
struct LexiconKind {
  const char* name;
  bool (*uses)(int valueFunction);
  bool (*loadDefault)();
  const void* (*active)();
};

const LexiconKind kKinds[kLexiconKinds] = {
    {"wordnet", isWordNetCode, loadDefaultWordNet, []() -> const void* { return activeWordNet(); }},
    {"jieba", isChineseLexiconCode, loadDefaultChineseLexicon,
     []() -> const void* { return activeChineseLexicon(); }},
    {"words", isWordListCode, loadDefaultWordList, []() -> const void* { return activeWordList(); }},
    {"poslex", isPosLexiconCode, loadDefaultPosLexicon, []() -> const void* { return activePosLexicon(); }},
};

}  // namespace

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
    const LexiconKind* kind = nullptr;
    std::string known;
    for (const LexiconKind& k : kKinds) {
      if (name == k.name) kind = &k;
      known += (known.empty() ? "" : ", ") + std::string(k.name);
    }
    if (kind == nullptr) {
      std::fprintf(stderr, "Error: unknown lexicon '%s' (known: %s).\n", name.c_str(), known.c_str());
      return false;
    }
    if (!kind->loadDefault()) return false;
  }
  return true;
}

std::string lexiconOfTemplates(const std::vector<_ftnind>& templates) {
  std::string names;
  for (const LexiconKind& k : kKinds) {
    bool used = false;
    for (const _ftnind& t : templates)
      for (const _ft& item : t.items) used = used || k.uses(item.valueFunction);
    if (used) names += (names.empty() ? "" : ",") + std::string(k.name);
  }
  return names;
}

std::array<const void*, kLexiconKinds> activeLexicons() {
  std::array<const void*, kLexiconKinds> active{};
  for (size_t i = 0; i < kLexiconKinds; ++i) active[i] = kKinds[i].active();
  return active;
}

bool loadTemplateLexicons(const std::vector<_ftnind>& templates, const std::string& templatePath) {
  const std::string name = lexiconOfTemplates(templates);
  if (name.empty() || loadLexicon(name)) return true;
  std::fprintf(stderr, "Error: template file %s needs the %s lexicon.\n", templatePath.c_str(), name.c_str());
  return false;
}
