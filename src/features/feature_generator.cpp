#include "features/feature_generator.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "features/feature_context.h"
#include "features/parser_functions.h"
#include "features/relation_functions.h"
#include "features/role_functions.h"
#include "features/spelling_functions.h"
#include "features/tree_functions.h"
#include "templates/parser_step_codes.h"
#include "text/line_utils.h"

namespace {

enum ValueCode {
  kPlain = -1,
  kIsLetter = 132,
  kCapitalType = 146,
  kDigitalType = 147,
  kPuncType = 148,
  kLowcase = 149,
  kChnCharFirst = 150,
  kChnCharLast = 151,
  kChnCharLen = 152,
};

// Value of a code that names no value function.
const char* const kUndefinedValue = "_";

inline bool isUpper(unsigned char b) { return b >= 'A' && b <= 'Z'; }
inline bool isDigitByte(unsigned char b) { return b >= '0' && b <= '9'; }
inline bool isAlnumByte(unsigned char b) { return isUpper(b) || (b >= 'a' && b <= 'z') || isDigitByte(b); }

// Shape class of a word from the length of its leading run of class bytes.
void wordShape(const std::string& s, int code, std::string& value) {
  const size_t len = s.size();
  size_t run = 0;
  while (run < len) {
    const unsigned char b = static_cast<unsigned char>(s[run]);
    bool inClass;
    if (code == kCapitalType)
      inClass = isUpper(b);
    else if (code == kDigitalType)
      inClass = isDigitByte(b);
    else
      inClass = !isAlnumByte(b);
    if (!inClass) break;
    ++run;
  }
  const bool digital = code == kDigitalType;
  if (len == 1 && run == 1)
    value = digital ? "s+nc" : "s+c";
  else if (len == 1 && run == 0)
    value = digital ? "s+nn" : "s+n";
  else if (run == 1)
    value = digital ? "m+nch" : "m+ch";
  else if (run == len)
    value = digital ? "m+nca" : "m+ca";
  else
    value = digital ? "m+nn" : "m+n";
}

// The word-shape, lower-case and character functions. A missing column reads
// like a row outside the sentence.
void shapeValue(FeatureCallContext& c, const _ft& item, int row, std::vector<std::string>& chars,
                std::string& value) {
  const std::string* s = c.cell(row, item.column);
  switch (item.valueFunction) {
    case kIsLetter:
      value = (s != nullptr && !s->empty() && isLetter((*s)[0]) > 0) ? "+" : "-";
      return;
    case kCapitalType:
    case kDigitalType:
    case kPuncType:
      if (s == nullptr)
        value = "-";
      else
        wordShape(*s, item.valueFunction, value);
      return;
    case kLowcase:
      if (s == nullptr) {
        value = "-";
        return;
      }
      value = *s;
      for (char& ch : value)
        if (isUpper(static_cast<unsigned char>(ch))) ch = static_cast<char>(ch + 32);
      return;
    case kChnCharFirst:
    case kChnCharLast:
      if (s != nullptr) splitHanzi(*s, chars);
      if (s == nullptr || chars.empty())
        value = "_";
      else
        value = item.valueFunction == kChnCharFirst ? chars.front() : chars.back();
      return;
    case kChnCharLen: {
      // Outside the sentence no split is made: the count is that of the last
      // split of this call.
      if (s != nullptr) splitHanzi(*s, chars);
      char buf[24];
      std::snprintf(buf, sizeof buf, "%zu", chars.size());
      value = buf;
      return;
    }
    default:
      value = kUndefinedValue;
      return;
  }
}

bool isShapeCode(int code) { return code == kIsLetter || (code >= kCapitalType && code <= kChnCharLen); }

// Floor of log2(y) for finite y >= 1; infinity counts one past the largest double.
int floorLog2(double y) {
  if (std::isinf(y)) return std::ilogb(DBL_MAX) + 1;
  return std::ilogb(y);
}

}  // namespace

bool isWordValueCode(int code) { return code == kPlain || isShapeCode(code) || isSpellingCode(code); }

void appendBoundaryToken(int n, int row, std::string& out) {
  if (row < 0) {
    out += "_B";
    out += std::to_string(row);
  } else if (row >= n) {
    out += "_E-";
    out += std::to_string(static_cast<long long>(row) - n + 1);
  }
}

// buf must hold at least 16 bytes.
void beyondStringGen(int n, int row, char* buf) {
  if (row < 0)
    std::snprintf(buf, 16, "_B%d", row);
  else if (row >= n)
    std::snprintf(buf, 16, "_E-%lld", static_cast<long long>(row) - n + 1);
}

void line2hanzi(std::string& s, std::vector<std::string>& chars) { splitHanzi(s, chars); }

void splitHanzi(const std::string& s, std::vector<std::string>& chars) {
  chars.clear();
  const size_t len = s.size();
  size_t i = 0;
  while (i < len) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const size_t width = (b >= 0x81 && b <= 0xFE && i + 1 < len) ? 2 : 1;
    chars.emplace_back(s, i, width);
    i += width;
  }
}

// Zero, negative numbers in "inverse" mode and NaN have no bucket and give 0;
// infinities fall one bucket beyond the largest finite number.
int discreteLog3(double x, char* mode) {
  if (mode != nullptr && std::strcmp(mode, "inverse") == 0) {
    if (std::isnan(x) || x <= 0) return 0;
    if (x == 1) return 0;
    const int sign = x < 1 ? -1 : 1;
    const double y = x < 1 ? 1 / x : x;
    return sign * (floorLog2(y) + 1);
  }
  if (mode != nullptr && std::strcmp(mode, "negative") == 0) {
    if (std::isnan(x)) return 0;
    const int sign = x < 0 ? -1 : 1;
    const double y = std::fabs(x);
    if (y < 1) return sign;
    return sign * (floorLog2(y) + 2);
  }
  std::fprintf(stderr, "illegal call in line 958, my baby\n");
  return -65536;
}

int FeatureLocGenP2Multi(TokenTable& rows, _ftnind& tmpl, std::vector<int>& stack, int position,
                         std::vector<_dppair>& arcs, std::vector<std::vector<_dppair>>& argumentLists,
                         std::vector<int>& predicateRows, std::vector<_dppair>& extraArcs, std::string& out) {
  FeatureCallContext c{rows,      static_cast<int>(rows.size()), stack,     position, arcs,
                       argumentLists, predicateRows,              extraArcs, nullptr};
  // Item rows and values are read only by relation functions; plain
  // templates skip collecting them.
  const bool related = tmpl.relation != "NULL";
  std::vector<int> itemRows;
  std::vector<std::string> itemValues;
  // Working buffers kept from call to call (per thread), so that a call
  // allocates nothing once they have grown; cleared here, so no call sees
  // another's contents.
  thread_local std::vector<std::string> chars;  // the last GBK split of this call
  thread_local std::string joined;
  thread_local std::string value;
  chars.clear();
  joined.clear();

  const size_t itemCount = tmpl.items.size();
  for (size_t k = 0; k < itemCount; ++k) {
    _ft& item = tmpl.items[k];
    if (item.type == 0) continue;  // label items are the caller's

    bool outOfRange = false;
    int node;
    if (item.type == 2) {
      const long long j = static_cast<long long>(stack.size()) - 1 + item.index;
      if (j < 0 || item.index > 0) {
        outOfRange = true;
        node = -1;
      } else {
        node = stack[static_cast<size_t>(j)];
      }
    } else {
      node = addRows(position, item.index);
    }
    const int start = node;

    if (item.arcSource == 0) {
      c.selected = &arcs;
    } else if (item.arcSource > 0) {
      c.selected = &extraArcs;
    } else {
      const long long idx = static_cast<long long>(argumentLists.size()) + item.arcSource;
      if (idx < 0) {
        c.selected = nullptr;
        outOfRange = true;
        node = -1;
      } else {
        c.selected = &argumentLists[static_cast<size_t>(idx)];
      }
    }

    if (!outOfRange) {
      for (const _subft& step : item.steps)
        if (!applyNavigationStep(c, step, node, outOfRange) || outOfRange) break;
    }

    if (c.selectedSize() == 0 && item.valueFunction == 0) item.valueFunction = -1;

    const int row = addRows(node, item.offset);
    value.clear();
    if (outOfRange) {
      value = "_X";
      value += std::to_string(item.offset);
    } else if (item.valueFunction == kPlain) {
      const std::string* s = c.cell(row, item.column);
      if (s != nullptr)
        value = *s;
      else if (c.inside(row))
        value = kUndefinedValue;  // the row lacks the column
      else
        appendBoundaryToken(c.n, row, value);
    } else if (isShapeCode(item.valueFunction)) {
      shapeValue(c, item, row, chars, value);
    } else if (isTreeValueCode(item.valueFunction)) {
      treeValueFunction(c, item, start, node, value);
    } else if (isParserValueCode(item.valueFunction)) {
      parserValueFunction(c, item, node, value);
    } else if (isSpellingCode(item.valueFunction)) {
      spellingValue(c, item, row, value);
    } else if (isRoleFunctionCode(item.valueFunction)) {
      roleFunctionValue(c, item, row, value);
    } else {
      value = kUndefinedValue;
    }

    if (k != 0) joined += '/';
    joined += value;
    if (related) {
      itemRows.push_back(row);
      itemValues.push_back(value);
    }
  }

  if (!related)
    out.assign(joined);
  else
    relationFunction(c, tmpl, itemRows, itemValues, out);
  return static_cast<int>(itemCount);
}
