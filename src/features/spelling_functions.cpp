#include "features/spelling_functions.h"

#include <vector>

#include "features/chinese_lexicon.h"
#include "features/pos_lexicon.h"
#include "features/word_list.h"
#include "features/wordnet_lexicon.h"

namespace {

inline bool isUpper(unsigned char b) { return b >= 'A' && b <= 'Z'; }
inline bool isLower(unsigned char b) { return b >= 'a' && b <= 'z'; }
inline bool isDigitByte(unsigned char b) { return b >= '0' && b <= '9'; }

std::string lowered(const std::string& s) {
  std::string out = s;
  for (char& ch : out)
    if (isUpper(static_cast<unsigned char>(ch))) ch = static_cast<char>(ch + 32);
  return out;
}

// N of prefixN / suffixN: the argument of the item's step that named the
// function; written without a number (or below 1) it is 1.
size_t lengthArgument(const _ft& item) {
  int n = 0;
  for (const _subft& step : item.steps)
    if (step.code == item.valueFunction) n = step.argument;
  return n < 1 ? 1 : static_cast<size_t>(n);
}

char shapeClass(unsigned char b) {
  if (isUpper(b)) return 'X';
  if (isLower(b)) return 'x';
  if (isDigitByte(b)) return 'd';
  if (b >= 0x80) return 'u';
  return static_cast<char>(b);
}

// Shape of s with every run of one class cut to at most maxRun.
std::string shapeOf(const std::string& s, size_t maxRun) {
  std::string out;
  char last = 0;
  size_t run = 0;
  for (unsigned char b : s) {
    const char c = shapeClass(b);
    run = c == last ? run + 1 : 1;
    last = c;
    if (run <= maxRun) out += c;
  }
  return out;
}

// Position of a hyphen that has text on both sides: the first one, or the
// last one; npos when there is none.
size_t innerHyphen(const std::string& s, bool first) {
  if (s.size() < 3) return std::string::npos;
  const size_t pos = first ? s.find('-', 1) : s.rfind('-', s.size() - 2);
  if (pos == std::string::npos || pos == 0 || pos + 1 >= s.size()) return std::string::npos;
  return pos;
}

// "S" at the sentence's first word, "I" inside; then the case of the word:
// X capitalised, A all capitals (two or more letters, none lower case),
// x lower case, d a digit first, p anything else first.
std::string capitalisation(const std::string& s, int row) {
  std::string out = row == 0 ? "S+" : "I+";
  const unsigned char first = s.empty() ? 0 : static_cast<unsigned char>(s[0]);
  if (isUpper(first)) {
    size_t uppers = 0, lowers = 0;
    for (unsigned char b : s) {
      uppers += isUpper(b);
      lowers += isLower(b);
    }
    out += lowers == 0 && uppers >= 2 ? 'A' : 'X';
  } else if (isLower(first)) {
    out += 'x';
  } else if (isDigitByte(first)) {
    out += 'd';
  } else {
    out += 'p';
  }
  return out;
}

// Kinds of bytes in the word, in a fixed order: d digit, u capital after the
// first byte, - hyphen, . full stop, p other ASCII punctuation, e a byte of
// 0x80 or above; "0" for none of them.
std::string characterFlags(const std::string& s) {
  bool digit = false, upper = false, hyphen = false, stop = false, punct = false, high = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    if (isDigitByte(b)) digit = true;
    else if (isUpper(b)) upper = upper || i > 0;
    else if (b == '-') hyphen = true;
    else if (b == '.') stop = true;
    else if (b >= 0x80) high = true;
    else if (!isLower(b)) punct = true;
  }
  std::string out;
  if (digit) out += 'd';
  if (upper) out += 'u';
  if (hyphen) out += '-';
  if (stop) out += '.';
  if (punct) out += 'p';
  if (high) out += 'e';
  return out.empty() ? "0" : out;
}

void wordNetValue(const std::string& s, bool base, std::string& value) {
  const WordNetLexicon* lexicon = activeWordNet();
  if (lexicon == nullptr) {
    value = "?";  // no lexicon loaded: the commands refuse such a set before this
    return;
  }
  const std::string word = lowered(s);
  value = WordNetLexicon::categoryText(base ? lexicon->baseCategories(word) : lexicon->categories(word));
}

// Values of the Chinese word list. Words are looked up as they stand (GBK).
void chineseLexiconValue(const std::string& s, int code, std::string& value) {
  const ChineseLexicon* lexicon = activeChineseLexicon();
  if (lexicon == nullptr) {
    value = "?";  // no lexicon loaded: the commands refuse such a set before this
    return;
  }
  if (code == kZhLexCode || code == kZhLexCountCode) {
    const ChineseLexicon::Entry* e = lexicon->find(s);
    if (e == nullptr)
      value = "0";
    else if (code == kZhLexCode)
      value = lexicon->tagText(*e);
    else
      value = std::to_string(std::to_string(e->count).size());
    return;
  }
  // Longest proper final (head) or initial part that the list holds.
  std::vector<std::string> chars;
  splitHanzi(s, chars);
  if (chars.size() < 2) {
    value = "_";
    return;
  }
  const bool head = code == kZhLexHeadCode;
  std::string part;
  for (size_t n = chars.size() - 1; n >= 1; --n) {
    part.clear();
    const size_t begin = head ? chars.size() - n : 0;
    for (size_t i = begin; i < begin + n; ++i) part += chars[i];
    if (const ChineseLexicon::Entry* e = lexicon->find(part)) {
      value = lexicon->tagText(*e);
      return;
    }
  }
  value = "0";
}

void gbkAffix(const std::string& s, size_t n, bool prefix, std::string& value) {
  std::vector<std::string> chars;
  splitHanzi(s, chars);
  if (chars.size() < n) {
    value = "_";
    return;
  }
  value.clear();
  const size_t begin = prefix ? 0 : chars.size() - n;
  for (size_t i = begin; i < begin + n; ++i) value += chars[i];
}

}  // namespace

bool isSpellingCode(int code) {
  switch (code) {
    case kPrefixCode: case kSuffixCode: case kShapeCode: case kShortShapeCode: case kHyphenFirstCode:
    case kHyphenLastCode: case kCapStartCode: case kCharFlagsCode: case kWordNetCode: case kWordNetBaseCode:
    case kZhLexCode: case kZhLexCountCode: case kZhLexHeadCode: case kZhLexFirstCode: case kWordListCode:
    case kPosLexiconCode:
    case kChnPrefixCode: case kChnSuffixCode:
      return true;
    default:
      return false;
  }
}

bool isWordNetCode(int code) { return code == kWordNetCode || code == kWordNetBaseCode; }

bool isChineseLexiconCode(int code) { return code >= kZhLexCode && code <= kZhLexFirstCode; }

bool isWordListCode(int code) { return code == kWordListCode; }

bool isPosLexiconCode(int code) { return code == kPosLexiconCode; }

void spellingValue(const FeatureCallContext& c, const _ft& item, int row, std::string& value) {
  const std::string* s = c.cell(row, item.column);
  if (s == nullptr) {
    value = "-";  // outside the sentence, like the other word-shape functions
    return;
  }
  switch (item.valueFunction) {
    case kPrefixCode:
    case kSuffixCode: {
      const size_t n = lengthArgument(item);
      if (s->size() < n)
        value = "_";
      else
        value = lowered(item.valueFunction == kPrefixCode ? s->substr(0, n) : s->substr(s->size() - n));
      return;
    }
    case kShapeCode:
      value = shapeOf(*s, 4);
      return;
    case kShortShapeCode:
      value = shapeOf(*s, 1);
      return;
    case kHyphenFirstCode:
    case kHyphenLastCode: {
      const bool first = item.valueFunction == kHyphenFirstCode;
      const size_t pos = innerHyphen(*s, first);
      if (pos == std::string::npos)
        value = "_";
      else
        value = lowered(first ? s->substr(0, pos) : s->substr(pos + 1));
      return;
    }
    case kCapStartCode:
      value = capitalisation(*s, row);
      return;
    case kCharFlagsCode:
      value = characterFlags(*s);
      return;
    case kWordNetCode:
    case kWordNetBaseCode:
      wordNetValue(*s, item.valueFunction == kWordNetBaseCode, value);
      return;
    case kZhLexCode:
    case kZhLexCountCode:
    case kZhLexHeadCode:
    case kZhLexFirstCode:
      chineseLexiconValue(*s, item.valueFunction, value);
      return;
    case kWordListCode: {
      const WordList* list = activeWordList();
      value = list == nullptr ? "?" : list->classOf(*s);  // no list: the commands refuse such a set first
      return;
    }
    case kPosLexiconCode: {
      const PosLexicon* lexicon = activePosLexicon();
      value = lexicon == nullptr ? "?" : lexicon->tagsOf(*s);
      return;
    }
    case kChnPrefixCode:
    case kChnSuffixCode:
      gbkAffix(*s, lengthArgument(item), item.valueFunction == kChnPrefixCode, value);
      return;
    default:
      value = "_";
      return;
  }
}
