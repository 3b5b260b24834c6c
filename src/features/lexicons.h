// The lexicons a template set can read at run time, by name: "wordnet"
// (English, wordnet_lexicon.h), "jieba" (Chinese, chinese_lexicon.h),
// "words" (the English word list, word_list.h) and "poslex" (the English
// part-of-speech lexicon, pos_lexicon.h). A model's manifest names the ones
// its templates need, comma-separated.
#ifndef KORVANE_FEATURES_LEXICONS_H
#define KORVANE_FEATURES_LEXICONS_H

#include <array>
#include <string>
#include <vector>

#include "templates/template_types.h"

// Loads the lexicons a manifest names ("wordnet", "jieba", "words", "poslex";
// several as "wordnet,words"; "none" or "" loads nothing), each once per
// process.
// False, after an "Error: ..." message, for an unknown name or when a
// lexicon cannot be read.
bool loadLexicon(const std::string& names);

// The lexicons a template set needs, comma-separated in that order; "" when
// none.
std::string lexiconOfTemplates(const std::vector<_ftnind>& templates);

// The lexicons above, one slot each in that order.
constexpr size_t kLexiconKinds = 4;

// The active lexicon of each kind (null where none is loaded), so that a
// cache of feature values can tell when one was switched.
std::array<const void*, kLexiconKinds> activeLexicons();

// Loads what lexiconOfTemplates names; false, after an "Error: ..." message
// naming the template file, when one cannot be read.
bool loadTemplateLexicons(const std::vector<_ftnind>& templates, const std::string& templatePath);

#endif
