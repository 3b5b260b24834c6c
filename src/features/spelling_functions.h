// Spelling and lexicon value functions of the template language, codes
// 200-239: what a word looks like (prefixes, suffixes, shape, hyphen parts,
// capitalisation by place) and which parts of speech WordNet or the Chinese
// word list allow it, for words the tag dictionary does not know. Internal to the feature library;
// the names and values are listed in the README.
#ifndef KORVANE_FEATURES_SPELLING_FUNCTIONS_H
#define KORVANE_FEATURES_SPELLING_FUNCTIONS_H

#include <string>

#include "features/feature_context.h"
#include "templates/template_types.h"

enum SpellingCode {
  kPrefixCode = 200,       // prefixN: first N bytes of the lower-cased word
  kSuffixCode = 201,       // suffixN: last N bytes of the lower-cased word
  kShapeCode = 202,        // X/x/d per byte, other bytes kept, runs cut at 4
  kShortShapeCode = 203,   // the same with every run cut to one
  kHyphenFirstCode = 204,  // lower-cased part before the first inner hyphen
  kHyphenLastCode = 205,   // lower-cased part after the last inner hyphen
  kCapStartCode = 206,     // sentence start or inside, with the case of the word
  kCharFlagsCode = 207,    // which kinds of bytes the word holds
  kWordNetCode = 210,      // WordNet categories of the word itself
  kWordNetBaseCode = 211,  // WordNet categories of the word's inflected readings
  kZhLexCode = 212,         // tag of the word in the Chinese word list, "0" if absent
  kZhLexCountCode = 213,    // digits of the word's count there (a log10 class), "0" if absent
  kZhLexHeadCode = 214,     // tag of the longest listed proper final part, "0" if none
  kZhLexFirstCode = 215,    // tag of the longest listed proper initial part, "0" if none
  kWordListCode = 216,      // case of the word in the English word list: C, l, Cl or 0
  kPosLexiconCode = 217,    // likely Penn tags of the word in the part-of-speech lexicon, 0 if absent
  kChnPrefixCode = 220,    // chnprefixN: first N GBK characters
  kChnSuffixCode = 221,    // chnsuffixN: last N GBK characters
};

bool isSpellingCode(int code);

// True for the codes whose values come from the WordNet lexicon.
bool isWordNetCode(int code);
// True for the codes whose values come from the Chinese word list.
bool isChineseLexiconCode(int code);
// True for the code whose value comes from the English word list.
bool isWordListCode(int code);
// True for the code whose value comes from the English part-of-speech lexicon.
bool isPosLexiconCode(int code);

// Item value of a spelling or lexicon function at row (the navigation result
// plus the item's offset); value is replaced.
void spellingValue(const FeatureCallContext& c, const _ft& item, int row, std::string& value);

#endif
